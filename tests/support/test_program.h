// test_program.h - a DemoProgram for tests: its display is a RecordingDevice
// (no window, no GPU), its renderer logs RenderFrame/SkipFrame into the same
// call list, and its timeline is whatever the test attaches.
#pragma once

#include "framework/demo_program.h"
#include "tests/support/recording_device.h"

#include <functional>
#include <string>
#include <vector>

namespace jolp::testing {

// The device the last RecordingDisplay call made (owned by that display).
RecordingDevice* LastRecordingDevice();
// A DisplayFactory that builds a DeviceWindow around a RecordingDevice.
Display RecordingDisplay(const DisplaySettings& settings);

class LoggingRenderSystem final : public RenderSystemBase {
public:
    explicit LoggingRenderSystem(RecordingDevice* device) : device_(device) {}
    bool LoadEffects() override { return true; }
    bool CreateTargets() override { return true; }
    void RenderFrame() override { device_->calls.emplace_back("RenderFrame"); }
    void SkipFrame() override { device_->calls.emplace_back("SkipFrame"); }

private:
    RecordingDevice* device_;
};

std::unique_ptr<RenderSystemBase> LoggingRenderSystemFactory(GfxDevice& device, const Rect&, const Rect&);
std::unique_ptr<RenderSystemBase> NullRenderSystemFactory(GfxDevice& device, const Rect&, const Rect&);

class TestProgram final : public DemoProgram {
public:
    explicit TestProgram(const RunConfig& config, RenderSystemFactory factory = &LoggingRenderSystemFactory)
        : DemoProgram(factory, config) {}

    void QueueWorkers(WorkerQueue& queue) override {
        for (Worker* w : demoWorkers) queue.Append(w);
    }
    bool BuildTimeline() override { return buildTimeline ? buildTimeline(*this) : true; }

    // BuildTimeline attaches track under the program and succeeds.
    void AttachOnBuild(DemoTrack* track) {
        buildTimeline = [track](TestProgram& p) {
            p.AddChild(track);
            return true;
        };
    }

    std::vector<Worker*> demoWorkers;
    std::function<bool(TestProgram&)> buildTimeline;
};

// A track that runs a callback in Update and records the local time the
// program had in each Update.
class CallbackTrack final : public DemoTrack {
public:
    CallbackTrack(uint32_t start, uint32_t end, std::function<void(DemoProgram&)> onUpdate = {})
        : DemoTrack(start, end), onUpdate_(std::move(onUpdate)) {}
    void Update(DemoProgram& program) override {
        seen.push_back(program.localTime);
        if (onUpdate_) onUpdate_(program);
    }
    std::vector<uint32_t> seen;

private:
    std::function<void(DemoProgram&)> onUpdate_;
};

}  // namespace jolp::testing
