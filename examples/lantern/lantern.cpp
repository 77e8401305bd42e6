// lantern - a small demo on jolp: a lantern circles a ring of stones, seen
// through two scene cameras in three shots, each rising from black and
// falling back to it. The shared renderer draws it; the composite is our
// own (shaders/lantern.fx).
#include "framework/demo_program.h"
#include "framework/texture.h"
#include "platform/log.h"
#include "render/bind_scene.h"
#include "render/render_system.h"
#include "runner/runner.h"
#include "scene/jolp3d.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct Shot {
    uint32_t startMs;
    uint32_t endMs;
    const char* camera;
};
constexpr Shot kShots[] = {{0, 4000, "CamHigh"}, {4000, 8000, "CamLow"}, {8000, 12000, "CamHigh"}};
constexpr float kFadeSeconds = 0.8f;

class Lantern final : public jolp::DemoProgram {
public:
    explicit Lantern(const jolp::RunConfig& config) : jolp::DemoProgram(&MakeRenderer, config) {}

    void QueueWorkers(jolp::WorkerQueue&) override {}
    bool BuildTimeline() override;

    bool DescribePart(uint32_t ms, PartInfo& part) const override {
        for (uint32_t i = 0; i < std::size(kShots); ++i) {
            if (ms < kShots[i].startMs || ms >= kShots[i].endMs) continue;
            part = {i, static_cast<uint32_t>(std::size(kShots)), kShots[i].startMs, kShots[i].endMs,
                    kShots[i].camera, "shot"};
            return true;
        }
        return false;
    }

    jolp::RenderSystem& Renderer() { return static_cast<jolp::RenderSystem&>(*renderSystem); }

    jolp::JOLP3D scene;

private:
    // The shared renderer with our composite in place of the standard one.
    static std::unique_ptr<jolp::RenderSystemBase> MakeRenderer(jolp::GfxDevice& device, const jolp::Rect& window,
                                                                const jolp::Rect& viewport) {
        jolp::RenderFiles files;
        files.masterEffect = "shaders/lantern.fx";
        return std::make_unique<jolp::RenderSystem>(device, window, viewport, files);
    }

    std::vector<std::unique_ptr<jolp::DemoTrack>> tracks_;
};

// One shot: looks through a scene camera, moves and hands over the scene,
// and fades in and out at its edges.
class ShotTrack final : public jolp::DemoTrack {
public:
    ShotTrack(const Shot& shot, Lantern& demo) : jolp::DemoTrack(shot.startMs, shot.endMs), shot_(shot), demo_(demo) {}

    void Update(jolp::DemoProgram&) override {
        const float aspect = static_cast<float>(demo_.aspect[0]) / static_cast<float>(demo_.aspect[1]);
        const float t = demo_.clock.elapsedSeconds;
        jolp::RenderSystem& renderer = demo_.Renderer();
        renderer.camera = demo_.scene.EvaluateCamera(shot_.camera, t, aspect, 0.1f, 100.0f);
        const float into = static_cast<float>(localTime) / 1000.0f;
        const float left = static_cast<float>(length) / 1000.0f - into;
        renderer.fade = std::clamp(std::min(into, left) / kFadeSeconds, 0.0f, 1.0f);
        demo_.scene.Animate(jolp::Matrix(), t);
        demo_.scene.SubmitDrawItems(renderer);
        demo_.scene.SubmitLights(renderer);
    }

private:
    const Shot& shot_;
    Lantern& demo_;
};

bool Lantern::BuildTimeline() {
    jolp::LoadTextureDirectory(resources, Device(), DataFile("media/texs"));
    if (!scene.Load(DataFile(jolp::kScenePath), &Device())) {
        jolp::Log(jolp::LogLevel::Error, "%s could not be loaded", DataFile(jolp::kScenePath).c_str());
        return false;
    }
    jolp::BindScene(Renderer(), scene, resources);
    for (const Shot& shot : kShots) {
        tracks_.push_back(std::make_unique<ShotTrack>(shot, *this));
        AddChild(tracks_.back().get());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    jolp::DemoInfo info;
    info.name = "lantern";
    info.version = "1.0.0";
    info.title = "Lantern";
    info.musicPath = "media/music.ogg";
    info.create = [](const jolp::RunConfig& config) -> std::unique_ptr<jolp::DemoProgram> {
        return std::make_unique<Lantern>(config);
    };
    return jolp::RunDemo(argc, argv, info);
}
