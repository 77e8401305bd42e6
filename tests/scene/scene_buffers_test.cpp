// The scene on a device: the shared vertex declaration, vertex and index
// buffers holding the file's bytes, the draw items handed to the renderer,
// and a device that refuses a buffer.
#include "scene/jolp3d.h"

#include "framework/display.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <set>
#include <filesystem>
#include <unistd.h>

namespace jolp {
namespace {

using ::testing::HasSubstr;
using testing::RecordingBuffer;
using testing::RecordingDevice;

class RecordingSink final : public DrawSink {
public:
    void SubmitItem(const jolp::DrawItem& item) override { items.push_back(item); }
    void SubmitLight(const jolp::RenderLight& light) override { lights.push_back(light); }
    std::vector<jolp::DrawItem> items;
    std::vector<jolp::RenderLight> lights;
};

const RecordingBuffer& AsRecorded(VertexBuffer* buffer) { return *dynamic_cast<RecordingBuffer*>(buffer); }
const RecordingBuffer& AsRecorded(IndexBuffer* buffer) { return *dynamic_cast<RecordingBuffer*>(buffer); }

TEST(SceneBuffers, DeclarationIsSharedAndDescribesTheVertex) {
    RecordingDevice device;
    const VertexDeclaration* declaration = SceneVertexDeclaration(&device);
    ASSERT_NE(declaration, nullptr);
    EXPECT_EQ(SceneVertexDeclaration(nullptr), declaration);
    RecordingDevice other;
    EXPECT_EQ(SceneVertexDeclaration(&other), declaration);

    const std::vector<VertexElement>& e = declaration->Elements();
    ASSERT_EQ(e.size(), 5u);
    const struct {
        uint16_t offset;
        DeclType type;
        DeclUsage usage;
    } expected[5] = {{0, DeclType::Float3, DeclUsage::Position},
                     {12, DeclType::Float3, DeclUsage::Normal},
                     {24, DeclType::Float2, DeclUsage::TexCoord},
                     {32, DeclType::Float3, DeclUsage::Tangent},
                     {44, DeclType::Float3, DeclUsage::Binormal}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(e[i].stream, 0);
        EXPECT_EQ(e[i].offset, expected[i].offset) << i;
        EXPECT_EQ(e[i].type, expected[i].type) << i;
        EXPECT_EQ(e[i].usage, expected[i].usage) << i;
        EXPECT_EQ(e[i].usageIndex, 0);
    }
}

TEST(SceneBuffers, BuffersHoldTheFilesVerticesAndIndices) {
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    const std::vector<uint8_t> bytes = builder.Write();
    RecordingDevice device;
    JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "sample", &device));
    EXPECT_EQ(scene.device, &device);

    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        for (size_t s = 0; s < scene.meshes[m].submeshes.size(); ++s) {
            const Submesh& sub = scene.meshes[m].submeshes[s];
            const SceneFileSubmesh& source = builder.File().meshes[m].submeshes[s];
            ASSERT_NE(sub.vertexBuffer, nullptr);
            ASSERT_NE(sub.indexBuffer, nullptr);
            const RecordingBuffer& vb = AsRecorded(sub.vertexBuffer.get());
            const RecordingBuffer& ib = AsRecorded(sub.indexBuffer.get());
            EXPECT_EQ(vb.bytes.size(), sub.vertexCount * 56u);
            EXPECT_EQ(ib.bytes.size(), sub.indexCount * 4u);
            EXPECT_EQ(std::memcmp(vb.bytes.data(), source.vertexBytes.data(), vb.bytes.size()), 0);
            EXPECT_EQ(std::memcmp(ib.bytes.data(), source.indexBytes.data(), ib.bytes.size()), 0);
            EXPECT_EQ(vb.usage, kUsageWriteOnly);
            EXPECT_EQ(ib.usage, kUsageWriteOnly);
            EXPECT_EQ(ib.format, Format::Index32);
            EXPECT_FALSE(vb.locked || ib.locked);
            EXPECT_EQ(vb.lockFlags, std::vector<uint32_t>{0});
        }
    }
}

TEST(SceneBuffers, DrawItemsForEveryEntryWithAMaterialInListOrder) {
    SceneFileBuilder builder;
    const Transform moved[1] = {Transform{{1, 2, 3}, {0, 0, 0, 1}, {2, 2, 2}}};
    const int32_t track = builder.AddTransformTrack(moved);
    builder.AddLeafMaterial("Known", "qo_lambertblinn.fx");
    builder.AddLeafMaterial("Unknown", "qo_unheard_of.fx");
    builder.AddMultiMaterial("Both", {0, 1});
    const SceneVertex quad[4] = {};
    const uint32_t sevenIndices[7] = {0, 1, 2, 0, 2, 3, 1};  // two triangles and a stored remainder
    const int32_t mesh = builder.AddMesh();
    builder.AddSubmesh(mesh, 0, quad, sevenIndices);
    builder.AddSubmesh(mesh, 1, quad, std::span(sevenIndices).first(3));
    const uint32_t sixIndices[6] = {0, 1, 2, 2, 1, 0};
    builder.AddSubmesh(mesh, 2, std::span(quad).first(3), sixIndices);
    builder.AddObject("Thing", mesh, 2, track);
    const std::vector<uint8_t> bytes = builder.Write();

    RecordingDevice device;
    JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "items", &device));
    int token = 0;
    jolp::Material* known = reinterpret_cast<jolp::Material*>(&token);
    scene.materials[0].material = known;  // "Unknown" gets no material object

    Matrix root;
    root.m[3][1] = 100.0f;
    scene.Animate(root, 0.0f);
    RecordingSink sink;
    scene.SubmitDrawItems(sink);
    ASSERT_EQ(sink.items.size(), 2u);  // slots 0 and 2; slot 1 has no material
    const Submesh& first = scene.meshes[0].submeshes[0];
    const jolp::DrawItem& a = sink.items[0];
    EXPECT_EQ(a.primitiveType, PrimitiveType::TriangleList);
    EXPECT_EQ(a.vertexDeclaration, SceneVertexDeclaration(nullptr));
    EXPECT_NE(a.vertexDeclaration, nullptr);
    EXPECT_EQ(a.vertexBuffer, first.vertexBuffer.get());
    EXPECT_EQ(a.indexBuffer, first.indexBuffer.get());
    EXPECT_EQ(a.vertexStride, 56u);
    EXPECT_EQ(a.primitiveCount, 2u);
    EXPECT_EQ(a.vertexCount, 4u);
    EXPECT_EQ(a.material, known);
    EXPECT_EQ(a.world.m[0][0], 2.0f);
    EXPECT_EQ(a.world.m[3][1], 102.0f);
    EXPECT_EQ(a.worldInverse.m[0][0], 0.5f);
    EXPECT_EQ(std::memcmp(&a.world, &scene.objects[0].world, sizeof(Matrix)), 0);
    const jolp::DrawItem& b = sink.items[1];
    EXPECT_EQ(b.vertexBuffer, scene.meshes[0].submeshes[2].vertexBuffer.get());
    EXPECT_EQ(b.vertexCount, 3u);
    EXPECT_EQ(b.primitiveCount, 2u);
}

// A large submesh is drawn as spatial chunks: every triangle of the file
// exactly once, each with its indices in their order (the same winding),
// and each chunk's world sphere holding every vertex it draws.
TEST(SceneBuffers, LargeSubmeshesAreDrawnInChunksHoldingEveryTriangleOnce) {
    constexpr int kSide = 60;  // 60 x 60 quads: 7200 triangles
    std::vector<SceneVertex> grid;
    for (int z = 0; z <= kSide; ++z) {
        for (int x = 0; x <= kSide; ++x) {
            SceneVertex v;
            v.position = {static_cast<float>(x), 0.3f * static_cast<float>((x * 7 + z * 3) % 5), static_cast<float>(z)};
            grid.push_back(v);
        }
    }
    std::vector<uint32_t> indices;
    for (int z = 0; z < kSide; ++z) {
        for (int x = 0; x < kSide; ++x) {
            const uint32_t i = static_cast<uint32_t>(z * (kSide + 1) + x);
            const uint32_t quad[6] = {i, i + kSide + 1, i + 1, i + 1, i + kSide + 1, i + kSide + 2};
            indices.insert(indices.end(), quad, quad + 6);
        }
    }
    SceneFileBuilder builder;
    const Transform placed[1] = {Transform{{5, -2, 9}, {0.0f, 0.38268343f, 0.0f, 0.92387953f}, {2, 1, 3}}};
    const int32_t track = builder.AddTransformTrack(placed);
    builder.AddLeafMaterial("Ground", "qo_lambertblinn.fx");
    const int32_t mesh = builder.AddMesh();
    builder.AddSubmesh(mesh, 0, grid, indices);
    builder.AddObject("Ground", mesh, 0, track);
    const std::vector<uint8_t> bytes = builder.Write();

    RecordingDevice device;
    JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "grid", &device));
    int token = 0;
    scene.materials[0].material = reinterpret_cast<jolp::Material*>(&token);
    scene.Animate(Matrix{}, 0.0f);
    RecordingSink sink;
    scene.SubmitDrawItems(sink);
    ASSERT_GT(sink.items.size(), 1u);

    const Submesh& sub = scene.meshes[0].submeshes[0];
    const std::vector<uint8_t>& stored = AsRecorded(sub.indexBuffer.get()).bytes;
    ASSERT_EQ(stored.size(), indices.size() * 4);
    std::vector<uint32_t> drawn(indices.size());
    std::memcpy(drawn.data(), stored.data(), stored.size());

    std::multiset<std::array<uint32_t, 3>> want, got;
    for (size_t t = 0; t < indices.size(); t += 3) want.insert({indices[t], indices[t + 1], indices[t + 2]});
    uint32_t next = 0;
    const Matrix& world = scene.objects[0].world;
    for (const jolp::DrawItem& item : sink.items) {
        EXPECT_EQ(item.firstIndex, next);  // the chunks follow one another
        EXPECT_LE(item.primitiveCount, kChunkTriangles);
        next += item.primitiveCount * 3;
        for (uint32_t i = item.firstIndex; i < item.firstIndex + item.primitiveCount * 3; ++i) {
            if ((i - item.firstIndex) % 3 == 0) got.insert({drawn[i], drawn[i + 1], drawn[i + 2]});
            const Vec3 p = grid[drawn[i]].position;
            const Vec3 w{p.x * world.m[0][0] + p.y * world.m[1][0] + p.z * world.m[2][0] + world.m[3][0],
                         p.x * world.m[0][1] + p.y * world.m[1][1] + p.z * world.m[2][1] + world.m[3][1],
                         p.x * world.m[0][2] + p.y * world.m[1][2] + p.z * world.m[2][2] + world.m[3][2]};
            const float dx = w.x - item.boundsCentre.x, dy = w.y - item.boundsCentre.y, dz = w.z - item.boundsCentre.z;
            ASSERT_LE(std::sqrt(dx * dx + dy * dy + dz * dz), item.boundsRadius) << "index " << i;
        }
        // A chunk is a neighbourhood, not a strip across the whole grid.
        EXPECT_LT(item.boundsRadius, 0.5f * 3.0f * kSide);
    }
    EXPECT_EQ(next, indices.size());
    EXPECT_EQ(got, want);
}

TEST(SceneBuffers, RefusedBufferFailsTheLoadAndLeavesTheSceneEmpty) {
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    const std::vector<uint8_t> bytes = builder.Write();
    for (const char* refused : {"CreateVertexBuffer", "CreateIndexBuffer"}) {
        RecordingDevice device;
        device.refuse.insert(refused);
        JOLP3D scene;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(scene.LoadBytes(bytes, "sample", &device));
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_THAT(err, HasSubstr("sample: byte 16: the device refused the ")) << refused;
        EXPECT_TRUE(scene.meshes.empty());
        EXPECT_EQ(scene.device, nullptr);
        EXPECT_EQ(scene.drawList, nullptr);
    }
}

TEST(SceneBuffers, LoadFromTheDeviceWindowReadsTheFixedPath) {
    testing::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "media" / "scenes");
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    std::string reason;
    ASSERT_TRUE(WriteSceneFileTo(dir / "media/scenes/scene.JOLP3D", builder.File(), reason)) << reason;

    DeviceWindow window;
    window.device = std::make_unique<RecordingDevice>();
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    JOLP3D scene;
    const bool loaded = scene.Load(window);
    std::filesystem::current_path(before);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(scene.device, window.device.get());
    EXPECT_EQ(scene.objects.size(), 2u);
    EXPECT_NE(scene.meshes[1].submeshes[1].vertexBuffer, nullptr);
}

}  // namespace
}  // namespace jolp
