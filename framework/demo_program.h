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

class CaptureProgress;
class DevMode;
class FrameCapture;
class VideoEncoder;

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
    // Prepare, then play to the end. False when start-up failed or a
    // captured frame could not be written (stderr says why).
    bool Run(const std::string& musicPath);
    // Runs the workers, opens and registers the music, takes the render
    // system, runs the demo's workers and builds the timeline.
    bool Prepare(const std::string& musicPath);
    // After a successful Prepare: starts the music (musicPath names it in
    // messages) and plays to the end. Run is Prepare then Play; tests and
    // benchmarks call the two apart to look at the tree in between.
    bool Play(const std::string& musicPath);

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

    // The authoring mode's view of the demo (dev_mode.h). The shot running
    // at root time ms: false when none.
    struct ShotInfo {
        uint32_t index = 0;  // from 0
        uint32_t count = 0;
        uint32_t startMs = 0;
        uint32_t endMs = 0;
        const char* camera = "";
    };
    virtual bool DescribeShot(uint32_t ms, ShotInfo& shot) const {
        (void)ms, (void)shot;
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
    // Headless: the PNG writer, the video encoder and the progress line.
    bool StartCapture(const std::string& musicPath);
    bool MainLoop();
    void Shutdown();
    void ReleaseDisplay();

    RunConfig config_;
    RenderSystemFactory renderSystemFactory_;
    std::unique_ptr<FrameCapture> capture_;
    std::unique_ptr<VideoEncoder> video_;
    std::unique_ptr<CaptureProgress> progress_;
    std::unique_ptr<DevMode> dev_;
    friend class DevMode;
    uint64_t frameCount_ = 0;
};

}  // namespace jolp
