// Render benchmark: one frame of a fixed scene drawn headlessly at 640 x 480
// (a floor, 20 boxes on Lambert-Blinn and parallax materials, a water pool,
// four additive panels, a shadow-casting, a plain and a volume light),
// beside the cost, measured in the same run, of the plain passes such a
// frame cannot do without: a full-screen quad through a trivial program
// into an A16B16G16R16F target of the picture's size, and one 512 x 512
// R32F cube face cleared and covered by a quad. The frame's counter
// "vs_plain" is its time over the sum of the plain passes it needs: one
// ambient, one per light, the water, the additive and the composite pass,
// and six cube faces per shadow-casting light. Each iteration draws the
// frame and then those plain passes, each batch waited for (glFinish) so
// that what the GPU does is counted and both see the same load on a shared
// machine; the benchmark's time is the frame's alone (the CPU column is
// the calling thread's, without the driver's own threads).
//
//   build/release/bench/render_bench --benchmark_min_time=0.5
//   TARVEL_BENCH_PICTURE=/tmp/bench.png build/release/bench/render_bench
#include "bench/plain_passes.h"
#include "tests/render/picture_scene.h"

#include "render/material.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace jolp {
namespace {

using testing::AddBoxMesh;
using testing::AddFloorMesh;
using testing::AddPanelMesh;
using testing::AddPlacement;
using testing::AddStillLight;
using testing::PictureRig;

void BuildBenchScene(jolp::SceneFileBuilder& b) {
    const int32_t floorMaterial = b.AddLeafMaterial("floor", kLambertBlinnShaderName, testing::SurfaceParameters());
    const int32_t plain =
        b.AddLeafMaterial("plain", kLambertBlinnShaderName, testing::SurfaceParameters(testing::kGreyTex));
    const int32_t bumpy = b.AddLeafMaterial("bumpy", kParallaxedLambertBlinnShaderName, testing::ParallaxParameters());
    const int32_t water = b.AddLeafMaterial(
        "water", kCubicWaterShaderName, {{"normalTex", testing::kFlatNormalTex}, {"sceneCubeTex", "sceneCube.dds"}});
    const int32_t glow = b.AddLeafMaterial("glow", kAdditiveShaderName, {{"diffuseTex", testing::kGreyTex}});

    b.AddObject("floor", AddFloorMesh(b, 14.0f), floorMaterial, AddPlacement(b, {0, 0, 0}));
    const int32_t box = AddBoxMesh(b, {0.6f, 0.6f, 0.6f});
    for (int i = 0; i < 20; ++i) {
        const float x = -8.0f + 4.0f * static_cast<float>(i % 5);
        const float z = -7.0f + 4.0f * static_cast<float>(i / 5);
        b.AddObject("box", box, i % 2 ? bumpy : plain, AddPlacement(b, {x, 0.6f + 0.3f * (i % 3), z}));
    }
    b.AddObject("pool", AddFloorMesh(b, 3.0f), water, AddPlacement(b, {1.5f, 0.05f, 7.0f}));
    const int32_t panel = AddPanelMesh(b, 1.0f, 1.5f);
    for (int i = 0; i < 4; ++i) {
        b.AddObject("glow", panel, glow, AddPlacement(b, {-6.0f + 4.0f * static_cast<float>(i), 2.0f, 1.0f}));
    }
    AddStillLight(b, "Omni_shadow01", {0, 5, 0}, {1.5f, 1.3f, 1.1f}, 18.0f);
    AddStillLight(b, "Omni02", {-6, 3, -4}, {0.6f, 0.7f, 1.0f}, 10.0f);
    AddStillLight(b, "Omni_volume03", {6, 2, 4}, {1.0f, 0.5f, 0.2f}, 8.0f);
}

// The rig with the scene loaded, made once for the process.
struct Bench {
    Bench() : rig(640, 480, jolp::Letterbox(16, 9, jolp::Rect{0, 0, 640, 480})) {
        if (!rig.ok()) {
            error = rig.gl.error;
            return;
        }
        if (!testing::WriteSolidCube(
                rig.dir / "sceneCube.dds",
                {{{90, 80, 70}, {70, 80, 90}, {120, 140, 200}, {30, 30, 30}, {200, 120, 80}, {80, 120, 200}}}, error)) {
            return;
        }
        if (!rig.Start(TARVEL_SOURCE_DIR, error) || !rig.AddCubeTexture("sceneCube.dds", error)) return;
        jolp::SceneFileBuilder builder;
        BuildBenchScene(builder);
        if (!rig.Load(builder, error)) return;
        rig.renderSystem->camera = testing::LookAt({0, 8, 16}, {0, 0, 0}, 0.9f, 16.0f / 9.0f);
        const jolp::Rect& picture = rig.picture;
        if (!plain.Make(*rig.gl.device, static_cast<uint32_t>(picture.Width()), static_cast<uint32_t>(picture.Height()),
                        error)) {
            return;
        }
        ready = true;
        // TARVEL_BENCH_PICTURE=file.png keeps one frame of the scene, to see
        // what is measured.
        if (const char* path = std::getenv("TARVEL_BENCH_PICTURE")) {
            rig.Frame();
            rig.Read().Save(path);
        }
    }

    PictureRig rig;
    PlainPasses plain;
    std::string error;
    bool ready = false;
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

using Clock = std::chrono::steady_clock;

// One frame as the program draws it, with the scene's lights whose bit is
// set in lightMask (bit i: light i of the scene).
void DrawFrame(PictureRig& rig, uint32_t lightMask) {
    jolp::GfxDevice& device = *rig.gl.device;
    RenderSystem& rs = *rig.renderSystem;
    device.BeginScene();
    device.SetViewport(jolp::Viewport{0, 0, device.BackBufferWidth(), device.BackBufferHeight(), 0.0f, 1.0f});
    device.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
    rig.scene->Animate(jolp::MatrixIdentity(), 0.0f);
    rig.scene->SubmitDrawItems(rs);
    for (size_t i = 0; i < rig.scene->lights.size(); ++i) {
        const jolp::SceneLight& light = rig.scene->lights[i];
        if (!(lightMask & (1u << i)) || !light.renderLight) continue;
        RenderLight copy = *light.renderLight;
        copy.position = light.position;
        copy.color = light.color;
        copy.radius = light.radius;
        rs.SubmitLight(copy);
    }
    rs.RenderFrame();
    device.EndScene();
}

// Argument: the mask of lights drawn (7: all three; 0: none; 1: the shadow
// light, 2: the plain one, 4: the volume light alone), so that the cost of
// each kind of light shows beside the frame's.
void BM_RenderFrame(benchmark::State& state) {
    Bench& bench = TheBench();
    if (!bench.ready) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    const auto mask = static_cast<uint32_t>(state.range(0));
    int lights = 0, shadowLights = 0;
    for (size_t i = 0; i < bench.rig.scene->lights.size(); ++i) {
        if (!(mask & (1u << i))) continue;
        ++lights;
        if (bench.rig.scene->lights[i].CastsShadow()) ++shadowLights;
    }
    const int passes = 4 + lights;  // ambient, the lights, water, additive, composite
    const int faces = 6 * shadowLights;
    // Warm-up: the first frames compile and upload lazily.
    for (int i = 0; i < 3; ++i) DrawFrame(bench.rig, mask);
    bench.plain.FullScreen();
    bench.plain.CubeFace();
    glFinish();

    // Each iteration draws the frame, then the plain passes it needs, each
    // batch waited for once as the frame is, so that both see the same load
    // on the machine. The benchmark's time is the frame's alone.
    double frameMs = 0.0, passMs = 0.0, faceMs = 0.0;
    int64_t frames = 0;
    auto since = [](Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); };
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        DrawFrame(bench.rig, mask);
        glFinish();
        const double frame = since(start);
        frameMs += frame;
        state.SetIterationTime(frame / 1000.0);
        start = Clock::now();
        for (int i = 0; i < passes; ++i) bench.plain.FullScreen();
        glFinish();
        passMs += since(start);
        start = Clock::now();
        for (int i = 0; i < faces; ++i) bench.plain.CubeFace();
        if (faces > 0) glFinish();
        faceMs += since(start);
        ++frames;
    }
    const double n = static_cast<double>(frames > 0 ? frames : 1);
    frameMs /= n;
    const double plainMs = (passMs + faceMs) / n;
    state.counters["frame_ms"] = frameMs;
    state.counters["pass_ms"] = passMs / n / passes;
    if (faces > 0) state.counters["face_ms"] = faceMs / n / faces;
    state.counters["plain_ms"] = plainMs;
    state.counters["vs_plain"] = frameMs / plainMs;
}
BENCHMARK(BM_RenderFrame)->Arg(7)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_PlainFullScreenPass(benchmark::State& state) {
    Bench& bench = TheBench();
    if (!bench.ready) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    for (auto _ : state) {
        bench.plain.FullScreen();
        glFinish();
    }
}
BENCHMARK(BM_PlainFullScreenPass)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainCubeFace(benchmark::State& state) {
    Bench& bench = TheBench();
    if (!bench.ready) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    for (auto _ : state) {
        bench.plain.CubeFace();
        glFinish();
    }
}
BENCHMARK(BM_PlainCubeFace)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace jolp

BENCHMARK_MAIN();
