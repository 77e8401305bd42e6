// orrery - a flat demo on jolp: a sun and its planets turning over a sky
// that drifts from dusk to night, rising from black and falling back to it.
// No scene and no renderer of its own: the shared renderer's background
// (shaders/background.fx) and shapes (shaders/shapes.fx) draw it all.
#include "framework/demo_program.h"
#include "render/render_system.h"
#include "runner/runner.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// As long as the music content.cpp writes.
constexpr uint32_t kLengthMs = 8000;
constexpr float kFadeSeconds = 1.0f;

struct Planet {
    float orbit;   // radius of its orbit, in picture heights
    float period;  // seconds a turn
    float size;
    float colour[3];
};
constexpr Planet kPlanets[] = {
    {0.12f, 2.0f, 0.012f, {0.7f, 0.6f, 0.5f}},
    {0.2f, 3.5f, 0.02f, {0.9f, 0.7f, 0.3f}},
    {0.3f, 5.5f, 0.022f, {0.2f, 0.5f, 1.0f}},
    {0.42f, 9.0f, 0.016f, {1.0f, 0.35f, 0.2f}},
};

class Orrery final : public jolp::DemoProgramOf<jolp::RenderSystem> {
public:
    explicit Orrery(const jolp::RunConfig& config) : DemoProgramOf(&MakeRenderer, config) {}

    void QueueWorkers(jolp::WorkerQueue&) override {}
    bool BuildTimeline() override;

private:
    // The shared renderer with the standard background and the shapes; no
    // light cube, as nothing here is lit.
    static std::unique_ptr<jolp::RenderSystemBase> MakeRenderer(jolp::GfxDevice& device, const jolp::Rect& window,
                                                                const jolp::Rect& viewport) {
        jolp::RenderFiles files;
        files.backgroundEffect = jolp::kBackgroundEffectPath;
        files.shapesEffect = jolp::kShapesEffectPath;
        files.lightCube.clear();
        return std::make_unique<jolp::RenderSystem>(device, window, viewport, files);
    }
};

// The whole piece: the sky, the sun and the planets at the clock's time.
class SkyTrack final : public jolp::DemoTrack {
public:
    explicit SkyTrack(Orrery& demo) : jolp::DemoTrack(0, kLengthMs), demo_(demo) {}

    void Update(jolp::DemoProgram&) override {
        jolp::RenderSystem& renderer = demo_.Renderer();
        const float t = demo_.clock.elapsedSeconds;
        const float seconds = static_cast<float>(length) / 1000.0f;
        const float into = static_cast<float>(localTime) / 1000.0f;
        renderer.fade = std::clamp(std::min(into, seconds - into) / kFadeSeconds, 0.0f, 1.0f);

        // Dusk at the start, night by the end.
        const float night = std::clamp(into / seconds, 0.0f, 1.0f);
        renderer.background = {{0.08f - 0.06f * night, 0.1f - 0.07f * night, 0.3f - 0.15f * night, 1.0f},
                               {0.45f - 0.35f * night, 0.2f - 0.12f * night, 0.15f, 1.0f},
                               t};

        const float aspect = static_cast<float>(renderer.width) / static_cast<float>(renderer.height);
        const float pulse = 1.0f + 0.05f * std::sin(3.0f * t);
        renderer.SubmitShape(jolp::Shape2D{{0.5f, 0.5f, 0.0f}, {0.07f * pulse, 0.07f * pulse},
                                           {1.0f, 0.75f, 0.3f, 1.0f}, 0.3f, 1.5f});
        for (const Planet& p : kPlanets) {
            const float angle = 6.2831853f * t / p.period;
            // Orbits tilted into ellipses, as if seen from a little above.
            const jolp::Vec3 centre{0.5f + p.orbit * std::cos(angle) / aspect, 0.5f + 0.45f * p.orbit * std::sin(angle),
                                    0.0f};
            renderer.SubmitShape(jolp::Shape2D{centre, {p.size, p.size},
                                               {p.colour[0], p.colour[1], p.colour[2], 1.0f}, 0.2f, 0.6f});
        }
    }

private:
    Orrery& demo_;
};

bool Orrery::BuildTimeline() {
    AddChild(std::make_unique<SkyTrack>(*this));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    jolp::DemoInfo info;
    info.name = "orrery";
    info.version = "1.0.0";
    info.title = "Orrery";
    info.musicPath = "media/music.ogg";
    info.create = [](const jolp::RunConfig& config) -> std::unique_ptr<jolp::DemoProgram> {
        return std::make_unique<Orrery>(config);
    };
    return jolp::RunDemo(argc, argv, info);
}
