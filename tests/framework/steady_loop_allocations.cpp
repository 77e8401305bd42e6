// The steady main loop allocates nothing: a program on the real headless
// OpenGL device runs a few hundred frames while every operator new of the
// process is counted.
#include "framework/demo_program.h"

#include "tests/support/allocation_counter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace jolp {
namespace {

class QuietRenderSystem final : public RenderSystemBase {
public:
    explicit QuietRenderSystem(GfxDevice& device, const Rect& viewport) : device_(device), viewport_(viewport) {}
    bool LoadEffects() override { return true; }
    bool CreateTargets() override { return true; }
    void RenderFrame() override {
        Viewport v;
        v.x = static_cast<uint32_t>(viewport_.left);
        v.y = static_cast<uint32_t>(viewport_.top);
        v.width = static_cast<uint32_t>(viewport_.Width());
        v.height = static_cast<uint32_t>(viewport_.Height());
        device_.SetViewport(v);
        device_.Clear(kClearTarget | kClearZBuffer, 0xFF202020u, 1.0f, 0);
    }
    void SkipFrame() override {}

private:
    GfxDevice& device_;
    Rect viewport_;
};

std::unique_ptr<RenderSystemBase> MakeQuiet(GfxDevice& device, const Rect&, const Rect& viewport) {
    return std::make_unique<QuietRenderSystem>(device, viewport);
}

// Reads a sync track as a demo would, and records the process's
// allocation count at every frame, into storage reserved up front.
class CountingTrack final : public DemoTrack {
public:
    CountingTrack() : DemoTrack(0, 0xFFFFFFFFu) { counts.reserve(kFrames); }
    void Update(DemoProgram& program) override {
        synced += program.sync.Value(0, program.SyncRowNow());
        if (counts.size() < counts.capacity()) counts.push_back(testing::AllocationCount());
    }
    static constexpr size_t kFrames = 300;
    std::vector<uint64_t> counts;
    double synced = 0.0;
};

class AllocationProgram final : public DemoProgram {
public:
    explicit AllocationProgram(const RunConfig& config) : DemoProgram(&MakeQuiet, config) { sync.Track("glow"); }
    void QueueWorkers(WorkerQueue&) override {}
    bool BuildTimeline() override {
        sync.SetKeys(0, {{0, 0.0f, SyncInterpolation::Linear}, {50, 1.0f, SyncInterpolation::Smooth},
                         {100, 0.5f, SyncInterpolation::Ramp}, {200, 2.0f, SyncInterpolation::Step}});
        AddChild(&track);
        return true;
    }
    CountingTrack track;
};

TEST(SteadyLoopTest, FramesAfterTheFirstAllocateNothing) {
    RunConfig config;
    config.headless = true;
    config.width = 320;
    config.height = 240;
    config.hasTo = true;
    config.toMs = static_cast<uint32_t>(CountingTrack::kFrames * 1000 / 30);
    AllocationProgram program(config);
    ASSERT_TRUE(program.Init("Tarvel"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    const std::vector<uint64_t>& counts = program.track.counts;
    ASSERT_EQ(counts.size(), CountingTrack::kFrames);
    // The driver may allocate while it warms up; from then on, nothing.
    for (size_t i = 3; i < counts.size(); ++i) {
        ASSERT_EQ(counts[i], counts[2]) << "frame " << i << " allocated";
    }
}

}  // namespace
}  // namespace jolp
