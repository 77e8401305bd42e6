// Per-frame cost of the framework's spine: processing a track tree of the
// demo's size, and one clock update.
#include "framework/demo_program.h"
#include "framework/frame_clock.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class IdleTrack final : public jolp::DemoTrack {
public:
    IdleTrack(uint32_t start, uint32_t end) : DemoTrack(start, end) {}
    void Update(jolp::DemoProgram&) override { benchmark::ClobberMemory(); }
};

class BenchProgram final : public jolp::DemoProgram {
public:
    BenchProgram() : DemoProgram(nullptr) {}
    void QueueWorkers(jolp::WorkerQueue&) override {}
    bool BuildTimeline() override { return true; }
};

void BM_ProcessTrackTree(benchmark::State& state) {
    BenchProgram root;
    root.length = 0xFFFFFFFFu;
    std::vector<std::unique_ptr<IdleTrack>> tracks;
    // Twenty shots one after another, and controllers with four children
    // each running across the whole demo.
    for (uint32_t i = 0; i < 20; ++i) {
        tracks.push_back(std::make_unique<IdleTrack>(i * 10000, (i + 1) * 10000));
        root.AddChild(tracks.back().get());
    }
    for (int c = 0; c < static_cast<int>(state.range(0)); ++c) {
        tracks.push_back(std::make_unique<IdleTrack>(0, 200000));
        IdleTrack* controller = tracks.back().get();
        root.AddChild(controller);
        for (int e = 0; e < 4; ++e) {
            tracks.push_back(std::make_unique<IdleTrack>(0, 200000));
            controller->AddChild(tracks.back().get());
        }
    }
    uint32_t t = 0;
    for (auto _ : state) {
        root.localTime = t;
        t = (t + 16) % 200000;
        root.Process(root);
    }
}
BENCHMARK(BM_ProcessTrackTree)->Arg(2)->Arg(16);

void BM_FrameClockUpdate(benchmark::State& state) {
    jolp::FrameClock clock(jolp::PerformanceCounter::Instance());
    for (auto _ : state) {
        clock.Update();
        benchmark::DoNotOptimize(clock.elapsedMs);
    }
}
BENCHMARK(BM_FrameClockUpdate);

}  // namespace

BENCHMARK_MAIN();
