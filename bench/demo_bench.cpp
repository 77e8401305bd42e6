// Demo benchmark: the real Tarvel over the generated content, headless on
// the GL device (llvmpipe without a GPU).
//
//  - StartUp: from constructing the demo to the end of its first frame at
//    640 x 480 (window and device, effects, every texture, the scene, the
//    particle systems, the timeline, one frame drawn).
//  - FrameCpu/T: the CPU side of one frame at root time T ms: the track
//    tree (camera, animation of the whole scene, particle emitters,
//    controllers with their Update, BuildVertices and upload, submission)
//    and the render system's bookkeeping, without drawing.
//  - WholeDemo: the whole demo drawn at 640 x 480, one frame a second of
//    its timeline (205 frames spread over every shot), as frames per
//    second; each frame is waited for, so the GPU's work is counted.
//  - PassTimes: the same frames with every pass timed (waited for after
//    each pass on a software rasterizer), printed as a table: ambient, each
//    light and its shadow cube, water, additive, composite; and the frame
//    against the plain passes it needs (bench/plain_passes.h): "vs_plain".
//
//   build/release/bench/demo_bench
//   build/release/bench/demo_bench --benchmark_filter=FrameCpu
#include "bench/plain_passes.h"
#include "demo/my_demo.h"
#include "particles/sparkls.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <filesystem>
#include <memory>

namespace tarvel {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

jolp::RunConfig Headless(uint32_t width, uint32_t height) {
    std::filesystem::current_path(TARVEL_RUN_DIR);
    jolp::RunConfig config;
    config.headless = true;
    config.width = width;
    config.height = height;
    return config;
}

// Notes when the first frame's tracks ran.
class FirstFrameTrack final : public jolp::DemoTrack {
public:
    FirstFrameTrack() : jolp::DemoTrack(0, 0xFFFFFFFFu) {}
    void Update(jolp::DemoProgram&) override {
        if (!seen) at = Clock::now();
        seen = true;
    }
    bool seen = false;
    Clock::time_point at;
};

void StartUp(benchmark::State& state) {
    double initMs = 0.0, prepareMs = 0.0, frameMs = 0.0;
    for (auto _ : state) {
        jolp::RunConfig config = Headless(640, 480);
        config.hasTo = true;
        config.toMs = 1;  // one frame
        const Clock::time_point start = Clock::now();
        auto demo = std::make_unique<MyDemo>(config);
        if (!demo->Init(kTitle)) {
            state.SkipWithError("no headless display");
            return;
        }
        initMs += MsSince(start);
        const Clock::time_point prepare = Clock::now();
        if (!demo->Prepare(kMusicPath)) {
            state.SkipWithError("the demo could not be prepared (is the content generated?)");
            return;
        }
        prepareMs += MsSince(prepare);
        FirstFrameTrack first;
        demo->AddChild(&first);
        demo->Play(kMusicPath);
        glFinish();
        const double total = MsSince(start);
        frameMs += total - std::chrono::duration<double, std::milli>(first.at - start).count();
        state.SetIterationTime(total / 1000.0);
        demo.reset();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["init_ms"] = initMs / n;
    state.counters["prepare_ms"] = prepareMs / n;
    state.counters["first_frame_ms"] = frameMs / n;
}
BENCHMARK(StartUp)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void FrameCpu(benchmark::State& state) {
    const uint32_t ms = static_cast<uint32_t>(state.range(0));
    MyDemo demo(Headless(640, 480));
    if (!demo.Init(kTitle) || !demo.Prepare(kMusicPath)) {
        state.SkipWithError("the demo could not be prepared (is the content generated?)");
        return;
    }
    demo.length = 0xFFFFFFFFu;
    jolp::RenderSystem& rs = *demo.Renderer();
    auto frame = [&] {
        demo.localTime = ms;
        demo.clock.elapsedMs = static_cast<int32_t>(ms);
        demo.clock.elapsedSeconds = static_cast<float>(ms) / 1000.0f;
        demo.clock.deltaSeconds = 1.0f / 60.0f;
        demo.Process(demo);
        rs.SkipFrame();
    };
    // Five seconds of particles first, so that their number is the steady
    // one (about 130 a system) rather than the first burst.
    for (int i = 0; i < 300; ++i) frame();
    for (auto _ : state) frame();
    state.counters["live_particles_red"] = static_cast<double>(demo.redParticles->liveCount);
}
BENCHMARK(FrameCpu)->Arg(10000)->Arg(90000)->Arg(150000)->Arg(190000)->Unit(benchmark::kMicrosecond);

// The demo at 640 x 480, one frame a second, ready to play; null (the
// benchmark skipped) when it cannot be prepared.
std::unique_ptr<MyDemo> PreparedAtOneFrameASecond(benchmark::State& state) {
    jolp::RunConfig config = Headless(640, 480);
    config.fpsNum = 1;
    auto demo = std::make_unique<MyDemo>(config);
    if (!demo->Init(kTitle) || !demo->Prepare(kMusicPath)) {
        state.SkipWithError("the demo could not be prepared (is the content generated?)");
        return nullptr;
    }
    return demo;
}

// Waits for each drawn frame, so the GPU's time is the frame's.
class FinishTrack final : public jolp::DemoTrack {
public:
    FinishTrack() : jolp::DemoTrack(0, 0xFFFFFFFFu) {}
    void Update(jolp::DemoProgram&) override { glFinish(); }
};

void WholeDemo(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<MyDemo> prepared = PreparedAtOneFrameASecond(state);
        if (!prepared) return;
        MyDemo& demo = *prepared;
        FinishTrack finish;
        demo.AddChild(&finish);
        const Clock::time_point start = Clock::now();
        demo.Play(kMusicPath);
        glFinish();
        const double seconds = MsSince(start) / 1000.0;
        state.SetIterationTime(seconds);
        state.counters["frames"] = static_cast<double>(demo.FrameCount());
        state.counters["fps"] = static_cast<double>(demo.FrameCount()) / seconds;
        state.counters["ms_per_frame"] = seconds * 1000.0 / static_cast<double>(demo.FrameCount());
    }
}
BENCHMARK(WholeDemo)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// Reads the render system's pass times of the frame before each update.
class PassTimesTrack final : public jolp::DemoTrack {
public:
    explicit PassTimesTrack(jolp::RenderSystem& rs) : jolp::DemoTrack(0, 0xFFFFFFFFu), rs_(rs) {}
    void Update(jolp::DemoProgram&) override { Take(); }
    void Take() {
        const std::span<const jolp::PassTime> last = rs_.Timer().Last();
        if (last.empty()) return;  // every frame is drawn: each update sees the one before
        ++frames;
        for (const jolp::PassTime& t : last) {
            std::string key;
            switch (t.pass) {
                case jolp::TimedPass::Ambient: key = "ambient"; break;
                case jolp::TimedPass::Water: key = "water"; break;
                case jolp::TimedPass::Additive: key = "additive"; break;
                case jolp::TimedPass::Composite: key = "composite"; break;
                case jolp::TimedPass::ShadowCube: key = std::string("shadow cube ") + (t.light ? t.light : "?"); break;
                case jolp::TimedPass::Light: key = std::string("light ") + (t.light ? t.light : "?"); break;
            }
            ms[key] += t.ms;
            total += t.ms;
            (t.pass == jolp::TimedPass::ShadowCube ? cubes : passes) += 1;
        }
    }
    std::map<std::string, double> ms;
    double total = 0.0;
    int frames = 0;
    int passes = 0;  // full-picture passes drawn, over all frames
    int cubes = 0;   // shadow cubes drawn

private:
    jolp::RenderSystem& rs_;
};

// The whole demo at one frame a second with each pass waited for and timed
// (PassTimer): the table of where a frame's time goes, printed once, and
// the share of the light passes, the shadow cubes and the rest as counters.
void PassTimes(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<MyDemo> prepared = PreparedAtOneFrameASecond(state);
        if (!prepared) return;
        MyDemo& demo = *prepared;
        jolp::RenderSystem& rs = *demo.Renderer();
        rs.TimePasses(true);
        PassTimesTrack times(rs);
        demo.AddChild(&times);
        demo.Play(kMusicPath);
        times.Take();
        if (times.frames == 0) {
            state.SkipWithError("no frame was timed");
            return;
        }
        const double n = times.frames;
        double lights = 0.0, cubes = 0.0;
        std::printf("%-40s %8s %6s\n", "pass (whole demo, 1 frame a second)", "ms", "share");
        for (const auto& [key, ms] : times.ms) {
            std::printf("%-40s %8.2f %5.1f%%\n", key.c_str(), ms / n, 100.0 * ms / times.total);
            if (key.rfind("light ", 0) == 0) lights += ms;
            if (key.rfind("shadow cube ", 0) == 0) cubes += ms;
        }
        std::printf("%-40s %8.2f\n", "frame", times.total / n);

        // The plain passes the frames needed: one full-picture pass for the
        // ambient, each light, water, additive and composite, and six plain
        // cube faces for each shadow cube.
        jolp::PlainPasses plain;
        std::string error;
        if (!plain.Make(demo.Device(), static_cast<uint32_t>(rs.width), static_cast<uint32_t>(rs.height), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        auto timed = [](auto&& pass) {
            pass();
            glFinish();
            constexpr int kRepeats = 20;
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < kRepeats; ++i) {
                pass();
                glFinish();
            }
            return MsSince(start) / kRepeats;
        };
        const double fullMs = timed([&] { plain.FullScreen(); });
        const double faceMs = timed([&] { plain.CubeFace(); });
        const double plainMs = (times.passes * fullMs + times.cubes * 6 * faceMs) / n;
        std::printf("%-40s %8.2f  (%.2f ms a full-picture pass, %.2f ms a cube face)\n", "plain passes", plainMs,
                    fullMs, faceMs);
        state.SetIterationTime(times.total / 1000.0);
        state.counters["frame_ms"] = times.total / n;
        state.counters["lights_ms"] = lights / n;
        state.counters["shadow_cubes_ms"] = cubes / n;
        state.counters["other_ms"] = (times.total - lights - cubes) / n;
        state.counters["vs_plain"] = times.total / n / plainMs;
    }
}
BENCHMARK(PassTimes)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tarvel

BENCHMARK_MAIN();
