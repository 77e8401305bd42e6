// Sparkls: its constants, the emission rule with its carried-over time, the
// birth state with its three rand() draws, and the simulation step (death
// by swap, fade in, hold, fade out and shrink, motion and damping).
#include "particles/sparkls.h"
#include "particles/particle_random.h"
#include "tests/particles/particle_fixture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace jolp::testing {
namespace {

class SparklsTest : public ParticleTest {
protected:
    // A system with n live particles whose ages are given, the rest of
    // their state as at birth.
    std::unique_ptr<Sparkls> WithAges(std::initializer_list<float> ages) {
        auto system = Ready<Sparkls>();
        system->Emit(static_cast<int32_t>(ages.size()));
        int i = 0;
        for (float age : ages) system->pool[i++]->age = age;
        return system;
    }
};

TEST_F(SparklsTest, StartsWithItsConstants) {
    Sparkls system(material.get());
    EXPECT_EQ(std::bit_cast<uint32_t>(system.emitInterval), 0x3D088889u);
    EXPECT_EQ(system.emitAccumulator, 0.2f);
    EXPECT_EQ(system.velocityRange, 3);
    EXPECT_TRUE(system.enabled);
    EXPECT_EQ(system.capacity, 100);
    EXPECT_EQ(system.emitterPosition.x, 0.0f);
}

TEST_F(SparklsTest, ARewindPlaysTheSameParticlesAgain) {
    auto system = Ready<Sparkls>();
    const ParticleRandomState start = SaveParticleRandom();
    auto run = [&] {
        std::vector<float> trace;
        for (int frame = 0; frame < 90; ++frame) {
            system->emitterPosition = {0.1f * frame, 1.0f, -2.0f};
            system->Update(1.0f / 30.0f);
            for (int32_t i = 0; i < system->liveCount; ++i) {
                const Particle& p = *system->pool[i];
                trace.insert(trace.end(), {p.position.x, p.position.y, p.position.z, p.age, p.size, p.colour.x});
            }
            trace.push_back(static_cast<float>(system->drawItem.vertexCount));
        }
        return trace;
    };
    const std::vector<float> first = run();
    ASSERT_GT(system->liveCount, 20);
    system->Rewind();
    EXPECT_EQ(system->liveCount, 0);
    EXPECT_EQ(system->drawItem.vertexCount, 0u);
    EXPECT_EQ(system->emitterPosition.x, 0.0f);
    EXPECT_EQ(system->emitAccumulator, kSparklsInitialAccumulator);
    for (Particle* p : system->pool) EXPECT_FALSE(p->alive);
    RestoreParticleRandom(start);
    EXPECT_EQ(run(), first);
}

TEST_F(SparklsTest, TheFirstUpdateReleasesTheBurstAndCarriesTheRest) {
    auto system = Ready<Sparkls>();
    system->Update(0.016f);
    EXPECT_EQ(system->liveCount, 6);
    EXPECT_EQ(system->drawItem.vertexCount, 36u);
    EXPECT_NEAR(system->emitAccumulator, 0.016f, 1e-6f);
    // Born this frame, so already aged by it.
    EXPECT_FLOAT_EQ(system->pool[0]->age, 0.016f);

    // 0.016 + 0.016 is still under one interval: nothing is born, the live
    // ones age and move.
    const float x = system->pool[0]->position.x;
    system->Update(0.016f);
    EXPECT_EQ(system->liveCount, 6);
    EXPECT_FLOAT_EQ(system->pool[0]->age, 0.032f);
    EXPECT_GE(system->pool[0]->position.x, x);
    EXPECT_NEAR(system->emitAccumulator, 0.032f, 1e-6f);
    // The third crosses it.
    system->Update(0.016f);
    EXPECT_EQ(system->liveCount, 7);
}

TEST_F(SparklsTest, ALongFrameReleasesTwentyNineAndCarriesAlmostAnInterval) {
    auto system = Ready<Sparkls>();
    system->emitAccumulator = 0.0f;
    system->Update(1.0f);
    EXPECT_EQ(system->liveCount, 29);
    EXPECT_NEAR(system->emitAccumulator, 0.0333333f, 1e-6f);
    EXPECT_LT(system->emitAccumulator, system->emitInterval);
    system->Update(0.001f);
    EXPECT_EQ(system->liveCount, 30);
}

TEST_F(SparklsTest, ABirthDrawsZThenYThenXFromTheParticlesOwnRand) {
    auto system = Ready<Sparkls>();
    system->emitterPosition = {4.0f, 5.0f, 6.0f};
    ParticleSeed(12345);
    const int r1 = ParticleRand(), r2 = ParticleRand(), r3 = ParticleRand();
    ParticleSeed(12345);
    // Somebody else's use of rand() changes nothing.
    std::srand(99);
    (void)std::rand();
    Particle p;
    p.alive = true;
    p.age = 3.0f;
    p.colour = {1.0f, 1.0f, 1.0f};
    p.previousPosition = {1.0f, 1.0f, 1.0f};
    system->InitParticle(p);
    EXPECT_EQ(p.velocity.z, static_cast<float>(3 / (r1 % 4 + 1)));
    EXPECT_EQ(p.velocity.y, static_cast<float>(3 / (r2 % 4 + 1)));
    EXPECT_EQ(p.velocity.x, static_cast<float>(3 / (r3 % 4 + 1)));
    EXPECT_FALSE(p.alive);
    EXPECT_EQ(p.age, 0.0f);
    EXPECT_EQ(p.lifetime, 4.0f);
    EXPECT_EQ(p.size, 2.0f);
    EXPECT_EQ(p.colour.x, 0.0f);
    EXPECT_EQ(p.previousPosition.x, 0.0f);
    EXPECT_EQ(p.position.x, 4.0f);
    EXPECT_EQ(p.position.y, 5.0f);
    EXPECT_EQ(p.position.z, 6.0f);

    // Over many births every component is 0, 1 or 3, never negative, and
    // each of the three turns up.
    int seen[4] = {};
    for (int i = 0; i < 2000; ++i) {
        system->InitParticle(p);
        for (float c : {p.velocity.x, p.velocity.y, p.velocity.z}) {
            ASSERT_TRUE(c == 0.0f || c == 1.0f || c == 3.0f) << c;
            ++seen[static_cast<int>(c)];
        }
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], seen[3]);  // 1 is twice as likely as 3
    EXPECT_GT(seen[3], 0);
}

TEST_F(SparklsTest, SeveralDeathsInOneCallKeepTheLiveOnesPackedAtTheFront) {
    // Ages 3.9 die in a step of 0.2, ages 1.0 live. pool[0] dies and trades
    // with pool[5] (3.9, not simulated in this call, so still alive);
    // pool[2] dies and trades with pool[4] (1.0, not aged either).
    auto system = WithAges({3.9f, 1.0f, 3.9f, 1.0f, 1.0f, 3.9f});
    system->Simulate(0.2f);
    ASSERT_EQ(system->liveCount, 4);
    for (int i = 0; i < system->capacity; ++i) EXPECT_EQ(system->pool[i]->alive, i < system->liveCount) << i;
    const float ages[4] = {3.9f, 1.2f, 1.0f, 1.2f};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(system->pool[i]->age, ages[i]) << i;
    // The dead ones' appearance was still updated, and their size is 0,
    // never negative.
    for (int i = 4; i < 6; ++i) {
        EXPECT_FLOAT_EQ(system->pool[i]->age, 4.1f);
        EXPECT_EQ(system->pool[i]->size, 0.0f);
    }
    // The next call ages the one that waited, and it dies.
    system->Simulate(0.2f);
    EXPECT_EQ(system->liveCount, 3);
    for (int i = 0; i < system->capacity; ++i) EXPECT_EQ(system->pool[i]->alive, i < system->liveCount) << i;
}

TEST_F(SparklsTest, AParticleMovedIntoADeadOnesPlaceWaitsForTheNextCall) {
    // pool[0] dies and trades with the last live one (age 0.5), which is
    // then not aged in this call.
    auto system = WithAges({3.95f, 2.0f, 0.5f});
    Particle* last = system->pool[2];
    system->Simulate(0.1f);
    EXPECT_EQ(system->liveCount, 2);
    EXPECT_EQ(system->pool[0], last);
    EXPECT_FLOAT_EQ(last->age, 0.5f);
    EXPECT_FLOAT_EQ(system->pool[1]->age, 2.1f);
}

TEST_F(SparklsTest, TheLastLiveParticleDiesInPlace) {
    auto system = WithAges({1.0f, 3.9f});
    Particle* first = system->pool[0];
    Particle* dying = system->pool[1];
    system->Simulate(0.2f);
    EXPECT_EQ(system->liveCount, 1);
    EXPECT_EQ(system->pool[0], first);
    EXPECT_EQ(system->pool[1], dying);
    EXPECT_FALSE(dying->alive);

    auto single = WithAges({3.99f});
    single->Simulate(0.1f);
    EXPECT_EQ(single->liveCount, 0);
}

TEST_F(SparklsTest, AgeReachingTheLifetimeExactlyDies) {
    auto system = WithAges({3.5f});
    system->Simulate(0.5f);  // 3.5 + 0.5 is exactly 4
    EXPECT_EQ(system->pool[0]->age, 4.0f);
    EXPECT_EQ(system->liveCount, 0);
    EXPECT_EQ(system->pool[0]->size, 0.0f);
}

TEST_F(SparklsTest, FadesInHoldsThenFadesOutAndShrinks) {
    struct Case {
        float age;
        float colour;
        float size;
    } cases[] = {
        {0.0f, 0.0f, 2.0f},
        {0.4f, 0.5f, 2.0f},
        {0.8f, 1.0f, 2.0f},  // fade-in branch: 0.8 / 0.8
        {1.5f, 1.0f, 2.0f},
        {2.2f, 1.8f / 2.2f, 7.2f / 2.2f},  // fade-out branch
        {3.0f, 1.0f / 2.2f, 4.0f / 2.2f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.age);
        auto system = WithAges({c.age});
        system->Simulate(0.0f);
        const Particle& p = *system->pool[0];
        EXPECT_FLOAT_EQ(p.colour.x, c.colour);
        EXPECT_EQ(p.colour.x, p.colour.y);
        EXPECT_EQ(p.colour.x, p.colour.z);
        EXPECT_FLOAT_EQ(p.size, c.size);
    }
    // The byte values the quads get at those ages.
    EXPECT_EQ(ParticleChannelByte(0.8f / 0.8f), 255u);
    EXPECT_EQ(ParticleChannelByte(1.8f / 2.2f), 208u);
}

TEST_F(SparklsTest, MovesByItsVelocityAndDampsItOncePerCall) {
    auto system = WithAges({1.0f});
    Particle& p = *system->pool[0];
    p.position = {1.0f, 2.0f, 3.0f};
    p.velocity = {3.0f, 1.0f, 0.0f};
    system->Simulate(0.5f);
    EXPECT_EQ(p.previousPosition.x, 1.0f);
    EXPECT_FLOAT_EQ(p.position.x, 2.5f);
    EXPECT_FLOAT_EQ(p.position.y, 2.5f);
    EXPECT_FLOAT_EQ(p.position.z, 3.0f);
    EXPECT_FLOAT_EQ(p.velocity.x, 3.0f * 0.995f);
    // Damping per call, whatever the step.
    system->Simulate(0.0f);
    EXPECT_FLOAT_EQ(p.velocity.x, 3.0f * 0.995f * 0.995f);
    EXPECT_FLOAT_EQ(p.position.x, 2.5f);
}

TEST_F(SparklsTest, ANonsenseStepCountsAsNothing) {
    auto system = Ready<Sparkls>();
    system->Update(0.016f);
    for (float dt : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -1.0f}) {
        system->Update(dt);
        EXPECT_EQ(system->liveCount, 6);
        EXPECT_FLOAT_EQ(system->pool[0]->age, 0.016f);
        EXPECT_TRUE(std::isfinite(system->emitAccumulator));
    }
    // A huge but finite step releases no more than the cap (half of them
    // die at once, the others trade places with them and wait for the next
    // call) and carries nothing over.
    system->Update(1e30f);
    EXPECT_LE(system->liveCount, 6 + kSparklsMaxEmitPerUpdate);
    EXPECT_LE(system->capacity, 6 + kSparklsMaxEmitPerUpdate + 2 * 100);
    EXPECT_EQ(system->emitAccumulator, 0.0f);
}

TEST_F(SparklsTest, SettlesAroundAHundredAndTwentyLiveParticlesAfterOneGrowth) {
    auto system = Ready<Sparkls>();
    int growths = 0;
    int32_t capacity = system->capacity;
    for (int frame = 0; frame < 60 * 20; ++frame) {
        system->Update(1.0f / 60.0f);
        if (system->capacity != capacity) ++growths;
        capacity = system->capacity;
    }
    EXPECT_EQ(growths, 1);
    EXPECT_EQ(system->capacity, 301);
    EXPECT_NEAR(system->liveCount, 120, 2);
    for (int i = 0; i < system->capacity; ++i) EXPECT_EQ(system->pool[i]->alive, i < system->liveCount);
}

}  // namespace
}  // namespace jolp::testing
