// Particle benchmark: one frame of a Sparkls held at a steady number of
// live particles (120, as in the demo, then 1,000 and 100,000), its Update
// and BuildVertices together. The birth rate is set so that births balance
// deaths at that number; a warm-up of five simulated seconds lets the pool
// reach its steady size first, so no growth is measured. The counter
// "ns_per_particle" is the frame's time over its live particles.
//
// Two devices: the recording device (the upload is a plain copy into
// memory, so this is the CPU's own work) and the headless GL device (the
// discard upload goes through the driver).
//
//   build/release/bench/particle_bench --benchmark_min_time=0.5
#include "particles/sparkls.h"
#include "render/material.h"
#include "render/render_system.h"
#include "tests/support/headless_gl.h"
#include "tests/support/recording_device.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace jolp {
namespace {

constexpr float kStep = 1.0f / 60.0f;

void RunSteady(benchmark::State& state, jolp::GfxDevice& device) {
    const auto live = static_cast<int32_t>(state.range(0));
    RenderSystem rs(device, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420});
    rs.camera.right = {0.8f, 0.0f, 0.6f};
    rs.camera.up = {0.0f, 1.0f, 0.0f};
    Sparkls system(nullptr);
    system.CreatePool();
    system.renderSystem = &rs;
    if (!system.CreateDeviceObjects()) {
        state.SkipWithError("the device refused the particle buffer");
        return;
    }
    // lifetime / interval particles are alive once births balance deaths.
    system.emitInterval = kSparklsLifetime / static_cast<float>(live);
    for (int n = 0; n < 300; ++n) {
        system.emitterPosition = {static_cast<float>(n % 7), 0.0f, 0.0f};
        system.Update(kStep);
        system.BuildVertices();
    }
    int64_t particles = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        system.Update(kStep);
        system.BuildVertices();
        particles += system.liveCount;
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    state.SetItemsProcessed(particles);
    state.counters["live"] = static_cast<double>(system.liveCount);
    state.counters["capacity"] = static_cast<double>(system.capacity);
    if (particles > 0) state.counters["ns_per_particle"] = elapsed.count() / static_cast<double>(particles);
}

void BM_SparklsFrameCpu(benchmark::State& state) {
    jolp::testing::RecordingDevice device;
    device.recordParameters = false;
    RunSteady(state, device);
}
BENCHMARK(BM_SparklsFrameCpu)->Arg(120)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SparklsFrameGl(benchmark::State& state) {
    jolp::testing::HeadlessGl gl(64, 64);
    if (!gl.ok()) {
        state.SkipWithError(gl.error.c_str());
        return;
    }
    RunSteady(state, *gl.device);
}
BENCHMARK(BM_SparklsFrameGl)->Arg(120)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace jolp

BENCHMARK_MAIN();
