// The particle-system base on the recording device: the pool and its
// growth, emission bookkeeping, the quads and their upload, submission, and
// what happens when the device refuses its objects.
#include "particles/particle_system.h"
#include "tests/particles/particle_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>

namespace jolp::testing {
namespace {

using ::testing::HasSubstr;

TEST_F(ParticleTest, NewSystemHasAHundredRecordsAndDrawsNothing) {
    ProbeSystem fresh(material.get());
    EXPECT_EQ(fresh.capacity, 100);
    EXPECT_EQ(fresh.liveCount, 0);
    EXPECT_FALSE(fresh.enabled);
    EXPECT_TRUE(fresh.pool.empty());

    auto system = Ready<ProbeSystem>();
    ASSERT_EQ(system->pool.size(), 100u);
    std::set<Particle*> distinct(system->pool.begin(), system->pool.end());
    EXPECT_EQ(distinct.size(), 100u);
    EXPECT_EQ(distinct.count(nullptr), 0u);
    ASSERT_EQ(system->births.size(), 100u);
    for (size_t i = 0; i < 100; ++i) EXPECT_EQ(system->births[i].particle, system->pool[i]);
    EXPECT_EQ(system->vertices.size(), 600u);

    const DrawItem& item = system->drawItem;
    EXPECT_EQ(item.primitiveType, jolp::PrimitiveType::TriangleList);
    EXPECT_EQ(item.vertexStride, 24u);
    EXPECT_EQ(item.vertexCount, 0u);
    EXPECT_EQ(item.primitiveCount, 0u);
    EXPECT_EQ(item.indexBuffer, nullptr);
    EXPECT_EQ(item.material, material.get());
    const jolp::Matrix identity;
    EXPECT_EQ(std::memcmp(&item.world, &identity, sizeof identity), 0);
    EXPECT_EQ(std::memcmp(&item.worldInverse, &identity, sizeof identity), 0);

    // The buffer: dynamic and write-only, 6 x 24 x 100 bytes, filled once
    // from the (zeroed) vertex array with no lock flags.
    auto& buffer = BufferOf(*system);
    EXPECT_EQ(buffer.Length(), 14400u);
    EXPECT_EQ(buffer.usage, 0x208u);
    EXPECT_EQ(buffer.lockFlags, std::vector<uint32_t>{0u});
    EXPECT_EQ(buffer.bytes, std::vector<uint8_t>(14400, 0));

    // The declaration: position, texture coordinates, colour on stream 0.
    const auto& elements = item.vertexDeclaration->Elements();
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[0].offset, 0);
    EXPECT_EQ(elements[0].type, jolp::DeclType::Float3);
    EXPECT_EQ(elements[0].usage, jolp::DeclUsage::Position);
    EXPECT_EQ(elements[1].offset, 12);
    EXPECT_EQ(elements[1].type, jolp::DeclType::Float2);
    EXPECT_EQ(elements[1].usage, jolp::DeclUsage::TexCoord);
    EXPECT_EQ(elements[2].offset, 20);
    EXPECT_EQ(elements[2].type, jolp::DeclType::D3DColor);
    EXPECT_EQ(elements[2].usage, jolp::DeclUsage::Color);
    for (const auto& e : elements) {
        EXPECT_EQ(e.stream, 0);
        EXPECT_EQ(e.usageIndex, 0);
    }

    // Submitted, it lands among the additive items with nothing to draw.
    system->Submit();
    ASSERT_EQ(rs->additiveItems.size(), 1u);
    EXPECT_EQ(rs->additiveItems[0].primitiveCount, 0u);
    EXPECT_TRUE(rs->opaqueItems.empty());
}

TEST_F(ParticleTest, TheHundredAndFirstParticleGrowsThePoolAndOnlyThenIsBorn) {
    auto system = Ready<ProbeSystem>();
    system->Emit(100);
    EXPECT_EQ(system->capacity, 100);
    EXPECT_EQ(system->drawItem.vertexCount, 600u);
    EXPECT_EQ(system->drawItem.primitiveCount, 200u);
    std::vector<Particle*> before(system->pool.begin(), system->pool.end());
    const jolp::VertexBuffer* oldBuffer = system->drawItem.vertexBuffer;
    system->births.clear();

    system->Emit(1);
    EXPECT_EQ(system->capacity, 301);
    EXPECT_EQ(system->liveCount, 101);
    EXPECT_EQ(system->pool.size(), 301u);
    EXPECT_EQ(system->vertices.size(), 1806u);
    EXPECT_NE(system->drawItem.vertexBuffer, oldBuffer);
    auto& grown = BufferOf(*system);
    EXPECT_EQ(grown.Length(), 43344u);
    EXPECT_EQ(grown.usage, 0x208u);
    EXPECT_TRUE(grown.lockFlags.empty()) << "the next BuildVertices fills the new buffer";
    // The old records stay where they were.
    for (size_t i = 0; i < 100; ++i) EXPECT_EQ(system->pool[i], before[i]);
    // The 201 new records are made and initialised, then the 101st particle
    // is born again by Emit, with the pool already at its new size.
    ASSERT_EQ(system->births.size(), 202u);
    for (size_t i = 0; i < 201; ++i) EXPECT_EQ(system->births[i].particle, system->pool[100 + i]);
    EXPECT_EQ(system->births.back().particle, system->pool[100]);
    EXPECT_EQ(system->births.back().capacity, 301);
    EXPECT_TRUE(system->pool[100]->alive);
    EXPECT_FALSE(system->pool[101]->alive);
    EXPECT_EQ(system->drawItem.vertexCount, 606u);
    EXPECT_EQ(system->drawItem.primitiveCount, 202u);

    // A pool that is large enough is not grown again.
    system->Emit(200);
    EXPECT_EQ(system->capacity, 301);
    EXPECT_EQ(system->liveCount, 301);
    system->Emit(1);
    EXPECT_EQ(system->capacity, 302 + 602);
}

TEST_F(ParticleTest, DeathsDoNotLowerTheDrawCountsUntilTheNextEmit) {
    auto system = Ready<ProbeSystem>();
    rs->camera.right = {1.0f, 0.0f, 0.0f};
    rs->camera.up = {0.0f, 1.0f, 0.0f};
    system->Emit(3);
    for (int i = 0; i < 3; ++i) system->pool[i]->position = {10.0f * i, 0.0f, 0.0f};
    system->BuildVertices();
    const ParticleVertex third = system->vertices[12];

    // The last particle dies: the draw still covers three quads, the third
    // one as it was last written.
    system->pool[2]->alive = false;
    system->liveCount = 2;
    system->pool[0]->position = {5.0f, 5.0f, 5.0f};
    system->BuildVertices();
    EXPECT_EQ(system->drawItem.vertexCount, 18u);
    EXPECT_EQ(system->drawItem.primitiveCount, 6u);
    EXPECT_EQ(std::memcmp(&system->vertices[12], &third, sizeof third), 0);
    auto& buffer = BufferOf(*system);
    EXPECT_EQ(buffer.lockFlags.back(), static_cast<uint32_t>(jolp::kLockDiscard));
    EXPECT_EQ(std::memcmp(buffer.bytes.data(), system->vertices.data(), 18 * sizeof(ParticleVertex)), 0);

    // The next Emit sets them from the live count.
    system->Emit(1);
    EXPECT_EQ(system->drawItem.vertexCount, 18u);
    system->Emit(0);
    system->Emit(-4);
    EXPECT_EQ(system->liveCount, 3);
}

TEST_F(ParticleTest, ResetKillsEveryRecordAndFreesNothing) {
    auto system = Ready<ProbeSystem>();
    system->Emit(150);
    const std::vector<Particle*> records(system->pool.begin(), system->pool.end());
    system->births.clear();
    system->Reset();
    EXPECT_EQ(system->liveCount, 0);
    EXPECT_EQ(system->capacity, 350);  // 150 + 2 x 100
    EXPECT_EQ(system->births.size(), 350u);
    EXPECT_EQ(std::vector<Particle*>(system->pool.begin(), system->pool.end()), records);
    for (const Particle* p : system->pool) EXPECT_FALSE(p->alive);
}

TEST_F(ParticleTest, QuadsFaceTheCameraWithTextureCoordinatesOnTheirCorners) {
    auto system = Ready<ProbeSystem>();
    // A camera looking along -x: its right is +z, its up +y.
    rs->camera.right = {0.0f, 0.0f, 1.0f};
    rs->camera.up = {0.0f, 1.0f, 0.0f};
    system->Emit(2);
    system->pool[0]->position = {1.0f, 2.0f, 3.0f};
    system->pool[0]->size = 4.0f;
    system->pool[0]->colour = {1.0f, 0.5f, 0.25f};
    system->pool[1]->position = {7.0f, 7.0f, 7.0f};
    system->pool[1]->size = 0.0f;
    system->BuildVertices();

    struct Corner {
        float x, y, z, u, v;
    };
    // A top-left (u 0, v 0), B bottom-left, C bottom-right, D top-right.
    const Corner a{1, 4, 1, 0, 0}, b{1, 0, 1, 0, 1}, c{1, 0, 5, 1, 1}, d{1, 4, 5, 1, 0};
    const Corner expected[6] = {a, b, c, c, d, a};
    for (int i = 0; i < 6; ++i) {
        const ParticleVertex& v = system->vertices[i];
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(v.position[0], expected[i].x);
        EXPECT_FLOAT_EQ(v.position[1], expected[i].y);
        EXPECT_FLOAT_EQ(v.position[2], expected[i].z);
        EXPECT_EQ(v.u, expected[i].u);
        EXPECT_EQ(v.v, expected[i].v);
        EXPECT_EQ(v.colour, 0xFFFF7F3Fu);
    }
    // A particle of size 0: all corners at its centre.
    for (int i = 6; i < 12; ++i) {
        EXPECT_EQ(system->vertices[i].position[0], 7.0f);
        EXPECT_EQ(system->vertices[i].position[1], 7.0f);
        EXPECT_EQ(system->vertices[i].position[2], 7.0f);
    }
    // In the buffer the colour reads as the bytes B, G, R, A.
    const uint8_t* colour = BufferOf(*system).bytes.data() + 20;
    EXPECT_EQ(colour[0], 0x3F);
    EXPECT_EQ(colour[1], 0x7F);
    EXPECT_EQ(colour[2], 0xFF);
    EXPECT_EQ(colour[3], 0xFF);
}

TEST(ParticleColourTest, ChannelsAreTruncatedAndReducedToTheirLowByte) {
    EXPECT_EQ(ParticleChannelByte(1.0f), 255u);
    EXPECT_EQ(ParticleChannelByte(0.999f), 254u);
    EXPECT_EQ(ParticleChannelByte(1.5f), 126u);
    EXPECT_EQ(ParticleChannelByte(0.0f), 0u);
    EXPECT_EQ(ParticleChannelByte(-0.001f), 0u);   // truncation toward zero
    EXPECT_EQ(ParticleChannelByte(-0.5f), 0x81u);  // -127 in its low byte
    EXPECT_EQ(ParticleChannelByte(1e20f), 0u);     // out of an int's range: no undefined cast
    EXPECT_EQ(ParticleChannelByte(std::numeric_limits<float>::quiet_NaN()), 0u);
    EXPECT_EQ(ParticleColour({1.0f, 0.999f, 1.5f}), 0xFFFFFE7Eu);
    EXPECT_EQ(ParticleColour({0.0f, 0.0f, 0.0f}), 0xFF000000u);
}

TEST_F(ParticleTest, ARefusedDeclarationOrBufferLeavesTheSystemEmptyAndSaysSoOnce) {
    for (const char* call : {"CreateVertexDeclaration", "CreateVertexBuffer"}) {
        SCOPED_TRACE(call);
        device.refuse = {call};
        ProbeSystem system(material.get());
        system.SetLabel("redParticles");
        system.CreatePool();
        system.renderSystem = rs.get();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(system.CreateDeviceObjects());
        system.Emit(5);
        system.BuildVertices();
        system.Submit();
        system.CreateDeviceObjects();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_THAT(err, HasSubstr("redParticles"));
        EXPECT_THAT(err, HasSubstr("refused"));
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_FALSE(system.Usable());
        EXPECT_EQ(system.liveCount, 0);
        EXPECT_EQ(system.drawItem.vertexCount, 0u);
        EXPECT_TRUE(rs->additiveItems.empty());
    }
}

TEST_F(ParticleTest, ABufferRefusedWhileGrowingEmptiesTheSystem) {
    auto system = Ready<ProbeSystem>();
    system->Emit(100);
    device.refuse = {"CreateVertexBuffer"};
    ::testing::internal::CaptureStderr();
    system->Emit(1);
    system->Emit(1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr("43344 bytes"));
    EXPECT_EQ(err.find('\n'), err.size() - 1);
    EXPECT_EQ(system->liveCount, 0);
    EXPECT_EQ(system->drawItem.vertexBuffer, nullptr);
    for (const Particle* p : system->pool) EXPECT_FALSE(p->alive);
    system->BuildVertices();
    system->Submit();
    EXPECT_TRUE(rs->additiveItems.empty());
}

TEST_F(ParticleTest, DeviceObjectsNeedThePoolAndARenderSystemFirst) {
    ::testing::internal::CaptureStderr();
    ProbeSystem early(material.get());
    early.renderSystem = rs.get();
    EXPECT_FALSE(early.CreateDeviceObjects());
    ProbeSystem alone(material.get());
    alone.CreatePool();
    EXPECT_FALSE(alone.CreateDeviceObjects());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr("before its pool"));
    EXPECT_THAT(err, HasSubstr("no render system"));

    // Without a render system the pool still works on the CPU side.
    ProbeSystem cpu(material.get());
    cpu.CreatePool();
    cpu.Emit(250);
    EXPECT_EQ(cpu.capacity, 450);
    cpu.BuildVertices();
    cpu.Submit();
    EXPECT_TRUE(rs->additiveItems.empty());
}

}  // namespace
}  // namespace jolp::testing
