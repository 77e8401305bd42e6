// my_demo.h - MyDemo, Tarvel itself: the demo program over the framework.
//
// It is the one place that knows the concrete render system behind the
// program's RenderSystemBase. Its content and its track tree are built by
// QueueWorkers and BuildTimeline; for now the tree is empty and the demo
// shows the empty frame of the render system for the music's length.
#pragma once

#include "framework/demo_program.h"
#include "render/render_system.h"

namespace tarvel {

class MyDemo final : public jolp::DemoProgram {
public:
    explicit MyDemo(const jolp::RunConfig& config = jolp::RunConfig{});

    void QueueWorkers(jolp::WorkerQueue& queue) override;
    bool BuildTimeline() override;

    // The render system, once Prepare has taken it from its worker.
    RenderSystem* Renderer() const { return static_cast<RenderSystem*>(renderSystem.get()); }
};

inline constexpr const char* kTitle = "Tarvel";
inline constexpr const char* kMusicPath = "media/music.ogg";

}  // namespace tarvel
