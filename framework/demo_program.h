// demo_program.h - DemoProgram, the framework's application object and the
// root of the timeline.
//
// It opens the display, builds the render system through its start-up
// worker, opens and registers the music, lets the derived demo queue its own
// workers and build its track tree, then plays: one frame per loop, timed
// by the frame clock from the moment the music is heard, until the music's
// length has elapsed, the user quits, or the device is lost.
//
// Ownership: the program owns the display with its device, the render
// system, the clock, the music stream, the registry and the worker queue.
// The registry, the queue and the track tree only refer to objects; tracks
// attached as a unique_ptr are kept by the program and go before the render
// system. The render system and the device live until the program is
// destroyed, after the derived demo has released what it made on them.
//
// WRITING A DEMO, STEP BY STEP, in the order the program calls it
// (docs/writing-a-demo.md says more):
//
//  1. The factory. The constructor hands DemoProgram a RenderSystemFactory:
//     jolp::RenderSystem::Create for the shared renderer, a function of your
//     own making one with other RenderFiles, or your own RenderSystemBase.
//     Init makes the display and queues the worker that builds it.
//  2. QueueWorkers(queue), once: the render system exists (RendererAs<R>()
//     or DemoProgramOf<R>::Renderer() reach it as its own type, checked in
//     debug builds) and the music is registered as "music". Append workers
//     that load your content and register it in `resources` by name. Ask
//     for your sync tracks here (sync.Track(name)) at the latest: they are
//     read from the data folder's sync/ before BuildTimeline, and a track
//     reads its value at SyncRowNow() in a frame.
//  3. BuildTimeline(), once, after every worker finished. `length` and `end`
//     are the music's already (all bits set without music: set your own
//     then, or the demo runs until Escape). Find your content with
//     resources.FindAs<T>(name) and attach tracks with AddChild: a
//     unique_ptr is kept for you, a plain pointer stays yours. False stops
//     the start.
//  4. Each frame (StepFrame): the clock is read, the back buffer cleared to
//     black, then every running track's Update(program) before its children
//     and PostUpdate() after them, in the order attached, with times in
//     unsigned ms on the parent's clock; then the render system draws.
//     Nothing in a frame may allocate.
//  5. The authoring mode (--dev) asks DescribePart(ms, part) which part
//     (shot, scene) plays at ms, for looping it, and DescribeFrame for a
//     line of your own on the overlay. While paused it has the render
//     system RedrawLastFrame (render_system_base.h says what the default
//     does); the shared renderer redraws the last frame as it was.
//  6. A seek in the authoring mode rewinds the track tree (DemoTrack::Rewind)
//     and the render system, then calls RewindDemo(): put back whatever you
//     keep outside your tracks.
//
// The smallest complete demo (examples/hello/hello.cpp, built against the
// installed package by the tests):
//
//     // hello - the smallest demo on jolp: one track fades the shared renderer's
//     // empty picture up from black and back down. No scene, no render system of
//     // its own; media/music.ogg in the run folder, when there is one, plays and
//     // gives the demo its length.
//     #include "framework/demo_program.h"
//     #include "render/render_system.h"
//     #include "runner/runner.h"
//
//     #include <algorithm>
//     #include <memory>
//
//     namespace {
//
//     // Up over the first two seconds, down over the last two.
//     class Glow final : public jolp::DemoTrack {
//     public:
//         explicit Glow(uint32_t endMs) : jolp::DemoTrack(0, endMs) {}
//         void Update(jolp::DemoProgram& program) override {
//             const float into = static_cast<float>(localTime) / 1000.0f;
//             const float left = static_cast<float>(length) / 1000.0f - into;
//             program.RendererAs<jolp::RenderSystem>().fade = std::clamp(std::min(into, left) / 2.0f, 0.0f, 1.0f);
//         }
//     };
//
//     class Hello final : public jolp::DemoProgram {
//     public:
//         explicit Hello(const jolp::RunConfig& config) : jolp::DemoProgram(&jolp::RenderSystem::Create, config) {}
//         void QueueWorkers(jolp::WorkerQueue&) override {}
//         bool BuildTimeline() override {
//             // length is the music's here; without music, six seconds.
//             if (music.handle == 0) length = end = 6000;
//             AddChild(std::make_unique<Glow>(length));
//             return true;
//         }
//     };
//
//     }  // namespace
//
//     int main(int argc, char** argv) {
//         jolp::DemoInfo info;
//         info.name = "hello";
//         info.title = "Hello";
//         info.create = [](const jolp::RunConfig& config) -> std::unique_ptr<jolp::DemoProgram> {
//             return std::make_unique<Hello>(config);
//         };
//         return jolp::RunDemo(argc, argv, info);
//     }
#pragma once

#include "framework/data_path.h"
#include "framework/demo_track.h"
#include "framework/display.h"
#include "framework/frame_clock.h"
#include "framework/frame_sink.h"
#include "framework/play_driver.h"
#include "framework/render_system_base.h"
#include "framework/resource_registry.h"
#include "framework/run_config.h"
#include "framework/sound_stream.h"
#include "framework/sync_tracks.h"
#include "framework/worker.h"
#include "framework/worker_queue.h"

#include <cassert>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jolp {

class DemoProgram : public DemoTrack {
public:
    DemoProgram(RenderSystemFactory renderSystemFactory, const RunConfig& config = RunConfig{});
    ~DemoProgram() override;

    void Update(DemoProgram&) override {}
    void PostUpdate() override {}

    // Appends the demo's own start-up workers. Called once, after the
    // render system exists and the music is registered as "music".
    virtual void QueueWorkers(WorkerQueue& queue) = 0;
    // Creates the demo's tracks and attaches them under the program; false
    // aborts. Called once, after every queued worker has finished, with
    // length and end already the music's.
    virtual bool BuildTimeline() = 0;

    // Window and device, letterbox, sound system, render-system worker.
    // False when the display could not be made (the user was told why).
    bool Init(const std::string& title);
    // Prepare, then play to the end. False when start-up failed, a frame
    // sink failed or the play was interrupted (the log says why).
    bool Run(const std::string& musicPath);
    // Runs the workers, opens and registers the music, takes the render
    // system, runs the demo's workers and builds the timeline.
    bool Prepare(const std::string& musicPath);
    // After a successful Prepare: starts the music (musicPath names it in
    // messages) and plays to the end, through the run's driver when it has
    // one. Run is Prepare then Play; tests and benchmarks call the two
    // apart to look at the tree in between.
    bool Play(const std::string& musicPath);
    // Play in steps, for a host that runs the frames from its own loop (a
    // browser's animation frames): StartPlay starts the
    // music (musicChannel, -1 without) and the driver; MusicStartSettled
    // says when the music is heard (or, logged, that it was not within 2 s
    // of askedMs, MonotonicMs when it was asked for), at which point
    // RestartClock makes that moment time 0; the host steps the frames
    // (StepFrame, EndFrame) while the program is active; FinishPlay
    // finishes the driver and the sound. Play is these with PlayFrames.
    bool StartPlay(const std::string& musicPath);
    bool MusicHeard() const;
    bool MusicStartSettled(uint64_t askedMs) const;
    void RestartClock();
    bool FinishPlay(bool ok);

    // ---- The frame, for the program's own loop and for drivers ----------
    //
    // One frame of the timeline, in the program's order: the clock is read,
    // the root's local time set to its whole milliseconds, the whole back
    // buffer cleared to black (when drawn), the track tree processed, and the
    // render system draws the frame (draw) or only keeps its bookkeeping.
    // The caller has begun the scene (PumpMessages) and ends it.
    void StepFrame(bool draw);
    // Ends the scene of a frame; a drawn one is presented and handed to the
    // sinks. Counts the frame. False when a sink failed (logged).
    bool EndFrame(bool drawn);
    // Reads the back buffer once, when a sink wants its pixels, and hands
    // the frame to every sink that wants it. False when one failed (logged).
    bool HandFrameToSinks();
    // The program's own loop: in real time, or headless on the frame grid
    // of RunConfig (frames before fromMs run without drawing). False when a
    // sink failed or the play was interrupted.
    bool PlayFrames();
    // Adds a sink every drawn frame is offered to (not owned; it must outlive
    // the play). The pixel buffer is made here, never in the loop.
    void AddFrameSink(FrameSink* sink);
    // With a stepped clock: sets the virtual counter to root time ns
    // (nanoseconds), which the next StepFrame reads.
    void SetFrameTimeNs(int64_t ns);
    // Rewinds the track tree, the render system and what the demo keeps
    // (RewindDemo) and restarts the clock at 0: the timeline plays again as
    // the first time.
    void RewindTimeline();
    // Whether the last play ended because it was asked to stop.
    bool Interrupted() const { return interrupted_; }

    class WorkerRenderSystem final : public Worker {
    public:
        WorkerRenderSystem(RenderSystemFactory factory, Display* display, const Rect& windowRect,
                           const Rect& viewportRect, std::string dataFolder = {})
            : factory_(factory),
              display_(display),
              windowRect_(windowRect),
              viewportRect_(viewportRect),
              dataFolder_(std::move(dataFolder)) {}
        bool IsReady() const override { return result != nullptr; }
        int32_t Step(ResourceRegistry& registry, WorkerQueue& queue) override;

        std::unique_ptr<RenderSystemBase> result;

    private:
        RenderSystemFactory factory_;
        Display* display_;
        Rect windowRect_;
        Rect viewportRect_;
        std::string dataFolder_;
    };

    // What the authoring mode shows of the demo. The part of the timeline
    // (a shot, a scene, a section: whatever the demo is cut into) running at
    // root time ms, which the mode can loop: false when none.
    struct PartInfo {
        uint32_t index = 0;  // from 0
        uint32_t count = 0;
        uint32_t startMs = 0;
        uint32_t endMs = 0;
        const char* name = "";
        const char* kind = "part";  // what the demo calls its parts ("shot")
    };
    virtual bool DescribePart(uint32_t ms, PartInfo& part) const {
        (void)ms, (void)part;
        return false;
    }
    // A line of the demo's own about the frame just drawn (its live
    // particles, say) into out, terminated; allocation-free.
    virtual void DescribeFrame(char* out, size_t size) const {
        if (size > 0) out[0] = '\0';
    }
    // After the track tree was rewound: puts back what the demo keeps
    // outside its tracks, so that the timeline plays again as the first time.
    virtual void RewindDemo() {}

    // The render system as the type the factory made; only after Prepare
    // took it from its worker. Debug builds check the type.
    template <class R>
    R& RendererAs() const {
        assert(renderSystem && dynamic_cast<R*>(renderSystem.get()) != nullptr);
        return static_cast<R&>(*renderSystem);
    }

    // The music file Play was given, as its messages name it.
    const std::string& MusicPath() const { return musicPath_; }
    // The device of the open display; only valid after a successful Init.
    GfxDevice& Device() const { return *display.deviceWindow->device; }
    const RunConfig& Config() const { return config_; }
    // A file of the demo's data folder by its path inside it (data_path.h).
    std::string DataFile(std::string_view relative) const { return DataPath(config_.dataFolder, relative); }
    // The viewport over the whole back buffer, bars included.
    Viewport WholeWindow() const;
    // Number of frames the main loop has completed.
    uint64_t FrameCount() const { return frameCount_; }
    // The sync tracks' row at the frame clock's time (RunConfig's tempo).
    double SyncRowNow() const {
        return SyncRow(clock.elapsedSeconds, config_.beatsPerMinute, config_.rowsPerBeat);
    }

private:
    // Declared before the clock, which reads it.
    std::unique_ptr<VirtualCounter> virtualCounter_;

public:
    Display display;
    // The picture's aspect, letterboxed into the back buffer: 1:1 until Init
    // takes the demo's (RunConfig::aspect) in lowest terms.
    uint32_t aspect[2] = {1, 1};
    Rect windowRect;
    Rect viewportRect;
    std::unique_ptr<RenderSystemBase> renderSystem;
    SoundStream music;
    int32_t musicChannel = -1;
    FrameClock clock;
    ResourceRegistry resources;
    // The demo's sync tracks: asked for (sync.Track) in its constructor or
    // QueueWorkers, read from the data folder before BuildTimeline. A file
    // that cannot be read stops the start.
    SyncTracks sync;
    std::unique_ptr<WorkerQueue> workers;
    std::unique_ptr<WorkerRenderSystem> renderSystemWorker;

private:
    void WaitForMusic();
    void Shutdown();
    void ReleaseDisplay();

    RunConfig config_;
    RenderSystemFactory renderSystemFactory_;
    std::vector<FrameSink*> sinks_;
    std::vector<uint8_t> pixels_;  // the back buffer read for the sinks
    std::string sinkError_;
    std::string musicPath_;
    uint64_t frameCount_ = 0;
    bool interrupted_ = false;
};

// A program whose render system is always an R: Renderer() reaches it as one.
template <class R>
class DemoProgramOf : public DemoProgram {
public:
    using DemoProgram::DemoProgram;
    R& Renderer() const { return RendererAs<R>(); }
};

}  // namespace jolp
