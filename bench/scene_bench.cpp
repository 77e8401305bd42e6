// Scene benchmarks: loading (throughput beside a plain memcpy of the same
// bytes), key list evaluation and Animate over 1,000 objects with 2,000 keys
// per track.
//
//   build/release/bench/scene_bench
#include "scene/jolp3d.h"
#include "scene/scene_file.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace jolp {
namespace {

// Buffers in plain memory, as a driver's mapped staging memory would be;
// everything else does nothing.
class MemoryBuffer final : public VertexBuffer, public IndexBuffer {
public:
    explicit MemoryBuffer(uint32_t length) : bytes_(new uint8_t[length]), length_(length) {}
    uint32_t Length() const override { return length_; }
    Format GetFormat() const override { return Format::Index32; }
    void* Lock(uint32_t, uint32_t, uint32_t) override { return bytes_.get(); }
    void Unlock() override {}

private:
    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t length_;
};

class MemoryDevice final : public GfxDevice {
public:
    DeviceCaps GetDeviceCaps() const override { return DeviceCaps{0xFFFF0300u}; }
    void BeginScene() override {}
    void EndScene() override {}
    PresentResult Present() override { return PresentResult::Ok; }
    void SetViewport(const Viewport&) override {}
    void Clear(uint32_t, uint32_t, float, uint32_t) override {}
    uint32_t BackBufferWidth() const override { return 640; }
    uint32_t BackBufferHeight() const override { return 480; }
    bool ReadBackBuffer(uint8_t*, size_t) override { return false; }
    std::unique_ptr<GfxTexture> CreateTexture(uint32_t, uint32_t, uint32_t, uint32_t, Format) override { return nullptr; }
    std::unique_ptr<GfxCubeTexture> CreateCubeTexture(uint32_t, uint32_t, uint32_t, Format) override { return nullptr; }
    std::unique_ptr<Surface> CreateDepthStencilSurface(uint32_t, uint32_t, Format) override { return nullptr; }
    std::unique_ptr<VertexDeclaration> CreateVertexDeclaration(std::span<const VertexElement> elements) override {
        return std::make_unique<VertexDeclaration>(elements);
    }
    std::unique_ptr<VertexBuffer> CreateVertexBuffer(uint32_t length, uint32_t) override {
        return std::make_unique<MemoryBuffer>(length);
    }
    std::unique_ptr<IndexBuffer> CreateIndexBuffer(uint32_t length, uint32_t, Format) override {
        return std::make_unique<MemoryBuffer>(length);
    }
    std::unique_ptr<ShaderProgram> CreateProgram(const std::string&, const std::string&, std::string&) override {
        return nullptr;
    }
    Surface* GetBackBuffer() override { return nullptr; }
    Surface* GetDepthStencilSurface() override { return nullptr; }
    void SetRenderTarget(uint32_t, Surface*) override {}
    void SetDepthStencilSurface(Surface*) override {}
    bool ReadSurface(Surface*, void*, size_t) override { return false; }
    void SetRenderState(RenderState, uint32_t) override {}
    uint32_t GetRenderState(RenderState) const override { return 0; }
    void SetScissorRect(const ScissorRect&) override {}
    void SetProgram(const ShaderProgram*) override {}
    void SetUniform(int32_t, UniformType, const float*) override {}
    void SetUniformInt(int32_t, int32_t) override {}
    void SetTexture(uint32_t, const GfxBaseTexture*, const SamplerState&) override {}
    void SetVertexDeclaration(const VertexDeclaration*) override {}
    void SetStreamSource(uint32_t, VertexBuffer*, uint32_t, uint32_t) override {}
    void SetIndices(IndexBuffer*) override {}
    void DrawPrimitive(PrimitiveType, uint32_t, uint32_t) override {}
    void DrawIndexedPrimitive(PrimitiveType, int32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {}
};

// 32 submeshes of 16,384 vertices and 49,152 indices: about 35 MB, nearly
// all of it vertex and index bytes.
const std::vector<uint8_t>& GeometryFile() {
    static const std::vector<uint8_t> bytes = [] {
        SceneFileBuilder b;
        std::vector<SceneVertex> vertices(16384);
        for (size_t i = 0; i < vertices.size(); ++i) vertices[i].position.x = static_cast<float>(i);
        std::vector<uint32_t> indices(49152);
        for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint32_t>((i * 7919) % vertices.size());
        const Transform still[1] = {Transform{}};
        const int32_t track = b.AddTransformTrack(still);
        const int32_t material = b.AddLeafMaterial("M", "qo_lambertblinn.fx");
        for (int m = 0; m < 32; ++m) {
            const int32_t mesh = b.AddMesh();
            b.AddSubmesh(mesh, 0, vertices, indices);
            b.AddObject("O" + std::to_string(m), mesh, material, track);
        }
        return b.Write();
    }();
    return bytes;
}

void BM_LoadSceneFromMemory(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = GeometryFile();
    MemoryDevice device;
    for (auto _ : state) {
        JOLP3D scene;
        if (!scene.LoadBytes(bytes, "bench", &device)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(scene.drawList);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadSceneFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadSceneFromFile(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = GeometryFile();
    const std::string path = "/tmp/scene_bench_" + std::to_string(::getpid()) + ".JOLP3D";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) state.SkipWithError("cannot write");
    if (f) std::fclose(f);
    MemoryDevice device;
    for (auto _ : state) {
        JOLP3D scene;
        if (!scene.Load(path, &device)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(scene.drawList);
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadSceneFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: one memcpy of the same number of bytes.
void BM_MemcpySameBytes(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = GeometryFile();
    std::unique_ptr<uint8_t[]> target(new uint8_t[bytes.size()]);
    std::memset(target.get(), 0, bytes.size());
    for (auto _ : state) {
        std::memcpy(target.get(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kKeys = 2000;
constexpr int kObjects = 1000;

Transform KeyTransform(int object, int k) {
    const float a = 0.001f * static_cast<float>(object + 3 * k);
    Transform t;
    t.position = Vec3{std::cos(a), 0.5f * static_cast<float>(k), std::sin(a)};
    t.rotation = QuatNormalize(Quat{0.0f, std::sin(a), 0.1f, std::cos(a)});
    t.scale = Vec3{1.0f, 1.0f + 0.001f * static_cast<float>(k), 1.0f};
    return t;
}

// Times spread over the whole track, and a little past both ends.
float SampleTime(int64_t i) { return static_cast<float>((i * 7877) % 2100) * 0.1f - 5.0f; }

void BM_KeyListEvaluateScalar(benchmark::State& state) {
    KeyList<float> list;
    float t = 0.0f;
    for (int k = 0; k < kKeys; ++k, t += 0.1f) list.Add(t, static_cast<float>(k));
    int64_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(list.Evaluate(SampleTime(i++)));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyListEvaluateScalar);

void BM_KeyListEvaluateTransform(benchmark::State& state) {
    KeyList<Transform> list;
    float t = 0.0f;
    for (int k = 0; k < kKeys; ++k, t += 0.1f) list.Add(t, KeyTransform(0, k));
    int64_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(list.Evaluate(SampleTime(i++)));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyListEvaluateTransform);

// 1,000 objects, each on its own transform track of 2,000 keys; one item is
// one object animated (its matrix and inverse).
void BM_AnimatePerObject(benchmark::State& state) {
    JOLP3D scene;
    {
        SceneFileBuilder b;
        const SceneVertex v[3] = {};
        const uint32_t idx[3] = {0, 1, 2};
        const int32_t mesh = b.AddMesh();
        b.AddSubmesh(mesh, 0, v, idx);
        const int32_t material = b.AddLeafMaterial("M", "qo_lambertblinn.fx");
        std::vector<Transform> keys(kKeys);
        for (int o = 0; o < kObjects; ++o) {
            for (int k = 0; k < kKeys; ++k) keys[static_cast<size_t>(k)] = KeyTransform(o, k);
            b.AddObject("O" + std::to_string(o), mesh, material, b.AddTransformTrack(keys));
        }
        const std::vector<uint8_t> bytes = b.Write();
        if (!scene.LoadBytes(bytes, "bench", nullptr)) state.SkipWithError("load failed");
    }
    const Matrix root;
    int64_t i = 0;
    for (auto _ : state) {
        scene.Animate(root, SampleTime(i++));
        benchmark::DoNotOptimize(scene.objects[0].world);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_AnimatePerObject)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace jolp

BENCHMARK_MAIN();
