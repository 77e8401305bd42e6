// lantern - a small demo on jolp: a lantern circles a ring of stones, seen
// through two scene cameras in three shots, each rising from black and
// falling back to it. The shared renderer draws it; the composite is our
// own (shaders/lantern.fx).
#include "framework/demo_program.h"
#include "framework/texture.h"
#include "platform/log.h"
#include "render/bind_scene.h"
#include "render/camera_shots.h"
#include "render/render_system.h"
#include "runner/runner.h"
#include "scene/jolp3d.h"

#include <memory>

namespace {

// Camera, span, fade in and out, near and far.
constexpr jolp::CameraShot kShots[] = {{"CamHigh", 0, 4000, 0.8f, 0.8f, 0.1f, 100.0f},
                                       {"CamLow", 4000, 8000, 0.8f, 0.8f, 0.1f, 100.0f},
                                       {"CamHigh", 8000, 12000, 0.8f, 0.8f, 0.1f, 100.0f}};

// The shared renderer with our composite in place of the standard one.
std::unique_ptr<jolp::RenderSystemBase> MakeRenderer(jolp::GfxDevice& device, const jolp::Rect& window,
                                                     const jolp::Rect& viewport) {
    jolp::RenderFiles files;
    files.masterEffect = "shaders/lantern.fx";
    return std::make_unique<jolp::RenderSystem>(device, window, viewport, files);
}

class Lantern final : public jolp::DemoProgramOf<jolp::RenderSystem> {
public:
    explicit Lantern(const jolp::RunConfig& config) : DemoProgramOf(&MakeRenderer, config) {}
    void QueueWorkers(jolp::WorkerQueue&) override {}
    bool BuildTimeline() override {
        jolp::LoadTextureDirectory(resources, Device(), DataFile("media/texs"));
        if (!scene.Load(DataFile(jolp::kScenePath), &Device())) {
            jolp::Log(jolp::LogLevel::Error, "%s could not be loaded", DataFile(jolp::kScenePath).c_str());
            return false;
        }
        jolp::BindScene(Renderer(), scene, resources);
        jolp::AddCameraShots(*this, scene, kShots);
        return true;
    }
    bool DescribePart(uint32_t ms, PartInfo& part) const override { return jolp::DescribeShot(ms, kShots, part); }
    jolp::JOLP3D scene;
};

}  // namespace

int main(int argc, char** argv) {
    jolp::DemoInfo info;
    info.name = "lantern";
    info.version = "1.0.0";
    info.title = "Lantern";
    info.create = [](const jolp::RunConfig& config) -> std::unique_ptr<jolp::DemoProgram> {
        return std::make_unique<Lantern>(config);
    };
    return jolp::RunDemo(argc, argv, info);
}
