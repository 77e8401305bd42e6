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
// The registry, the queue and the track tree only refer to objects. The
// render system and the device live until the program is destroyed, after
// the derived demo has released what it made on them.
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
#include "framework/worker.h"
#include "framework/worker_queue.h"

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
    // aborts. Called once, after every queued worker has finished.
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
    // browser's animation frames): StartPlay sets the length, starts the
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

}  // namespace jolp
