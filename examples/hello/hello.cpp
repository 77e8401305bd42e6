// hello - the smallest demo on jolp: one track fades the shared renderer's
// empty picture up from black and back down. No scene, no render system of
// its own; media/music.ogg in the run folder, when there is one, plays and
// gives the demo its length.
#include "framework/demo_program.h"
#include "render/render_system.h"
#include "runner/runner.h"

#include <algorithm>
#include <memory>

namespace {

// Up over the first two seconds, down over the last two.
class Glow final : public jolp::DemoTrack {
public:
    explicit Glow(uint32_t endMs) : jolp::DemoTrack(0, endMs) {}
    void Update(jolp::DemoProgram& program) override {
        const float into = static_cast<float>(localTime) / 1000.0f;
        const float left = static_cast<float>(length) / 1000.0f - into;
        program.RendererAs<jolp::RenderSystem>().fade = std::clamp(std::min(into, left) / 2.0f, 0.0f, 1.0f);
    }
};

class Hello final : public jolp::DemoProgram {
public:
    explicit Hello(const jolp::RunConfig& config) : jolp::DemoProgram(&jolp::RenderSystem::Create, config) {}
    void QueueWorkers(jolp::WorkerQueue&) override {}
    bool BuildTimeline() override {
        // length is the music's here; without music, six seconds.
        if (music.handle == 0) length = end = 6000;
        AddChild(std::make_unique<Glow>(length));
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    jolp::DemoInfo info;
    info.name = "hello";
    info.title = "Hello";
    info.create = [](const jolp::RunConfig& config) -> std::unique_ptr<jolp::DemoProgram> {
        return std::make_unique<Hello>(config);
    };
    return jolp::RunDemo(argc, argv, info);
}
