// The steady main loop allocates nothing: a program on the real headless
// OpenGL device runs a few hundred frames while every operator new of the
// process is counted.
#include "framework/demo_program.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> g_allocations{0};

// Every form of operator new goes through these, so that each pairs with
// the operator delete below (the driver uses the nothrow and aligned ones).
void* CountedAlloc(std::size_t size, std::size_t alignment) {
    ++g_allocations;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* CountedAllocOrThrow(std::size_t size, std::size_t alignment) {
    if (void* p = CountedAlloc(size, alignment)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return CountedAllocOrThrow(n, 0); }
void* operator new[](std::size_t n) { return CountedAllocOrThrow(n, 0); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return CountedAlloc(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return CountedAllocOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return CountedAllocOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return CountedAlloc(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return CountedAlloc(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

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

// Records the process's allocation count at every frame, into storage
// reserved up front.
class CountingTrack final : public DemoTrack {
public:
    CountingTrack() : DemoTrack(0, 0xFFFFFFFFu) { counts.reserve(kFrames); }
    void Update(DemoProgram&) override {
        if (counts.size() < counts.capacity()) counts.push_back(g_allocations.load());
    }
    static constexpr size_t kFrames = 300;
    std::vector<uint64_t> counts;
};

class AllocationProgram final : public DemoProgram {
public:
    explicit AllocationProgram(const RunConfig& config) : DemoProgram(&MakeQuiet, config) {}
    void QueueWorkers(WorkerQueue&) override {}
    bool BuildTimeline() override {
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
