// The scene on a device: the shared vertex declaration, vertex and index
// buffers holding the file's bytes, the draw items handed to the renderer,
// and a device that refuses a buffer.
#include "scene/jolp3d.h"

#include "framework/display.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
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
