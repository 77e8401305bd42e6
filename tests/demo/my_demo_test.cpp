// MyDemo on the recording device: what the scene worker registers, the
// track tree against the cut table, which shot and which particle systems
// run at every time, and how BuildTimeline refuses missing content.
#include "demo/cameras.h"
#include "demo/fade_envelope.h"
#include "demo/timeline.h"
#include "demo/worker_scene.h"
#include "framework/texture.h"
#include "particles/sparkls.h"
#include "render/material.h"
#include "tests/demo/cut_table.h"
#include "tests/demo/demo_fixture.h"
#include "tests/support/test_program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace tarvel::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr const char* kSystemNames[] = {"redParticles", "yellowParticles", "greenParticles",
                                        "blueParticles", "wind",           "fire"};

using DemoTest = DemoFixture;

TEST_F(DemoTest, TheSceneWorkerRegistersEveryNamedTextureTheDirectoriesTheSceneAndSixParticleSystems) {
    ASSERT_TRUE(prepared);
    const jolp::ResourceRegistry& r = demo->resources;
    EXPECT_NE(r.FindAs<jolp::TextureCube>("LightCube.dds"), nullptr);
    for (const char* flat : {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga", "bricks.png"}) {
        EXPECT_NE(r.FindAs<jolp::Texture2D>(flat), nullptr) << flat;
    }
    // Not in the data folder itself: its null entry there keeps the copy
    // in media/cubes out.
    ASSERT_NE(r.Find("sunol_cubemap.dds"), nullptr);
    EXPECT_EQ(r.Find("sunol_cubemap.dds")->second, nullptr);
    ASSERT_NE(r.Find("music"), nullptr);

    ASSERT_NE(demo->scene, nullptr);
    EXPECT_EQ(r.FindAs<jolp::JOLP3D>("scene"), demo->scene);
    EXPECT_EQ(demo->scene->cameras.size(), 20u);

    std::set<const jolp::Material*> materials;
    std::set<const jolp::Texture2D*> textures;
    for (const char* name : kSystemNames) {
        jolp::Sparkls* system = r.FindAs<jolp::Sparkls>(name);
        ASSERT_NE(system, nullptr) << name;
        EXPECT_EQ(system->Label(), name);
        EXPECT_TRUE(system->enabled);
        EXPECT_EQ(system->renderSystem, demo->Renderer()) << name;
        EXPECT_NE(system->drawItem.vertexBuffer, nullptr) << name << ": no device objects";
        auto* material = dynamic_cast<jolp::AdditiveMaterial*>(system->drawItem.material);
        ASSERT_NE(material, nullptr) << name;
        EXPECT_EQ(material->shader, demo->Renderer()->additiveShader.get());
        ASSERT_NE(material->diffuseMap, nullptr) << name;
        materials.insert(material);
        textures.insert(material->diffuseMap);
    }
    EXPECT_EQ(materials.size(), 6u) << "each system has its own material";
    EXPECT_EQ(textures.size(), 6u) << "each material has its own texture";
    EXPECT_EQ(demo->redParticles, r.FindAs<jolp::Sparkls>("redParticles"));
    EXPECT_EQ(demo->fireParticles, r.FindAs<jolp::Sparkls>("fire"));
    EXPECT_EQ(demo->sceneWorker, nullptr) << "the worker is deleted once the timeline is built";
}

TEST_F(DemoTest, TheWorkerDoesAllItsWorkInOneStep) {
    ASSERT_TRUE(prepared);
    MyDemo::WorkerScene worker(demo->Renderer(), &demo->display);
    jolp::ResourceRegistry registry;
    jolp::WorkerQueue queue(registry);
    EXPECT_FALSE(worker.IsReady());
    EXPECT_EQ(worker.Step(registry, queue), 100);
    EXPECT_TRUE(worker.IsReady());
    EXPECT_NE(registry.FindAs<jolp::JOLP3D>("scene"), nullptr);
    EXPECT_NE(registry.FindAs<jolp::Sparkls>("fire"), nullptr);
}

TEST_F(DemoTest, TheTrackTreeIsTheSwarmTheWindAndFireAndTheTwentyShotsInOrder) {
    ASSERT_TRUE(prepared);
    const std::vector<jolp::DemoTrack*>& root = demo->children;
    ASSERT_EQ(root.size(), 24u);

    auto* swarm = dynamic_cast<ParticleControler*>(root[0]);
    ASSERT_NE(swarm, nullptr);
    EXPECT_EQ(swarm->start, 85000u);
    EXPECT_EQ(swarm->length, 35000u);
    EXPECT_EQ(swarm->set, demo->particleSystems.get());
    const std::set<jolp::ParticleSystem*, ByCreation> coloured = {demo->redParticles, demo->yellowParticles, demo->greenParticles,
                                                demo->blueParticles};
    EXPECT_EQ(demo->particleSystems->systems, coloured);
    // Made red, yellow, green, blue: updated in that order in every run.
    EXPECT_EQ(std::vector<jolp::ParticleSystem*>(demo->particleSystems->systems.begin(), demo->particleSystems->systems.end()),
              (std::vector<jolp::ParticleSystem*>{demo->redParticles, demo->yellowParticles, demo->greenParticles,
                                            demo->blueParticles}));
    ASSERT_EQ(swarm->children.size(), 4u);
    const jolp::Sparkls* followers[] = {demo->redParticles, demo->yellowParticles, demo->greenParticles,
                                  demo->blueParticles};
    for (size_t i = 0; i < 4; ++i) {
        auto* emitter = dynamic_cast<ParticlesTrack*>(swarm->children[i]);
        ASSERT_NE(emitter, nullptr);
        EXPECT_EQ(emitter->dummyName, kDummyNames[i]);
        EXPECT_EQ(emitter->system, followers[i]);
        EXPECT_EQ(emitter->start, 0u);
        EXPECT_EQ(emitter->length, 120000u);
        EXPECT_EQ(emitter->parent, swarm);
    }

    const char* lateDummies[] = {"wind_dummy", "fire_dummy"};
    const jolp::Sparkls* lateSystems[] = {demo->windParticles, demo->fireParticles};
    for (size_t i = 0; i < 2; ++i) {
        auto* emitter = dynamic_cast<ParticlesTrack*>(root[1 + i]);
        ASSERT_NE(emitter, nullptr);
        EXPECT_EQ(emitter->dummyName, lateDummies[i]);
        EXPECT_EQ(emitter->system, lateSystems[i]);
        EXPECT_EQ(emitter->start, 145000u);
        EXPECT_EQ(emitter->end, 176200u);
    }
    auto* late = dynamic_cast<ParticleControler*>(root[3]);
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->start, 145000u);
    EXPECT_EQ(late->end, 176200u);
    EXPECT_TRUE(late->children.empty());
    EXPECT_EQ(late->set->systems, (std::set<jolp::ParticleSystem*, ByCreation>{demo->windParticles, demo->fireParticles}));

    for (size_t k = 0; k < 20; ++k) {
        auto* shot = dynamic_cast<Cameras*>(root[4 + k]);
        ASSERT_NE(shot, nullptr) << k;
        EXPECT_EQ(shot->cameraName, kCutTable[k].camera);
        EXPECT_EQ(shot->start, kCutTable[k].start) << shot->cameraName;
        EXPECT_EQ(shot->end, kCutTable[k].end) << shot->cameraName;
        EXPECT_EQ(shot->length, kCutTable[k].end - kCutTable[k].start);
        EXPECT_EQ(shot->fade.track, shot);
        EXPECT_EQ(shot->fade.fadeIn, 0.75f);
        EXPECT_EQ(shot->fade.fadeOut, 0.75f);
        EXPECT_EQ(shot->demo, demo.get());
    }
}

TEST_F(DemoTest, ExactlyOneShotRunsAtEveryRootTimeBelowTheEndAndNoneFromThere) {
    ASSERT_TRUE(prepared);
    std::vector<Cameras*> shots;
    for (jolp::DemoTrack* t : demo->children) {
        if (auto* c = dynamic_cast<Cameras*>(t)) shots.push_back(c);
    }
    ASSERT_EQ(shots.size(), 20u);
    jolp::RenderSystem& rs = Rs();
    size_t expected = 0;
    for (uint32_t ms = 0; ms < 206000; ++ms) {
        demo->localTime = ms;
        demo->clock.elapsedSeconds = static_cast<float>(ms) / 1000.0f;
        while (expected < 20 && ms >= kCutTable[expected].end) ++expected;
        int ran = 0;
        size_t which = 0;
        for (size_t k = 0; k < shots.size(); ++k) {
            rs.fade = -1.0f;
            shots[k]->Process(*demo);
            if (rs.fade != -1.0f) {
                ++ran;
                which = k;
            }
        }
        rs.SkipFrame();
        if (expected < 20) {
            ASSERT_EQ(ran, 1) << "at " << ms << " ms";
            ASSERT_EQ(which, expected) << "at " << ms << " ms";
        } else {
            ASSERT_EQ(ran, 0) << "at " << ms << " ms";
        }
    }
}

TEST_F(DemoTest, AShotLooksThroughItsCameraAtTheGlobalTimeAndRisesFromBlack) {
    ASSERT_TRUE(prepared);
    const float aspect = 16.0f / 9.0f;
    for (const Cut& cut : kCutTable) {
        const uint32_t middle = (cut.start + cut.end) / 2;
        for (uint32_t ms : {cut.start, middle}) {
            Frame(ms, 0.0f);
            const jolp::CameraView want =
                demo->scene->EvaluateCamera(cut.camera, static_cast<float>(ms) / 1000.0f, aspect, 1.0f, 5000.0f);
            EXPECT_EQ(std::memcmp(&Rs().camera, &want, sizeof want), 0) << cut.camera << " at " << ms;
            EXPECT_EQ(std::memcmp(&demo->camera, &want, sizeof want), 0);
            EXPECT_EQ(Rs().camera.position.x, static_cast<float>(&cut - kCutTable + 1));
            EXPECT_EQ(Rs().camera.aspect, aspect);
            EXPECT_EQ(Rs().camera.nearPlane, 1.0f);
            EXPECT_EQ(Rs().camera.farPlane, 5000.0f);
            EXPECT_EQ(Rs().fade, ms == cut.start ? 0.0f : 1.0f) << cut.camera << " at " << ms;
        }
    }
    // After the last shot nothing writes the camera or the fade any more.
    Frame(204399, 0.0f);
    const float lastFade = Rs().fade;
    EXPECT_GT(lastFade, 0.0f);
    EXPECT_LT(lastFade, 0.01f);
    Frame(204400, 0.0f);
    EXPECT_EQ(Rs().fade, lastFade);
    EXPECT_EQ(Rs().camera.position.x, 20.0f);
}

TEST(FadeEnvelopeTest, RisesOverItsFirstSecondsHoldsAndFallsOverItsLast) {
    jolp::testing::CallbackTrack shot(130100, 133800, [](jolp::DemoProgram&) {});
    const FadeEnvelope fade{&shot, 0.75f, 0.75f};
    EXPECT_EQ(fade.Value(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(fade.Value(0.375f), 0.5f);
    EXPECT_EQ(fade.Value(0.75f), 1.0f);
    EXPECT_EQ(fade.Value(2.0f), 1.0f);
    EXPECT_EQ(fade.Value(2.95f), 1.0f);
    EXPECT_NEAR(fade.Value(3.325f), 0.5f, 1e-5f);
    EXPECT_NEAR(fade.Value(3.699f), 0.001333f, 1e-5f);
    EXPECT_EQ((FadeEnvelope{nullptr, 0.75f, 0.75f}.Value(1.0f)), 0.0f);
}

// Every 10 ms across both spans, and their edges.
std::vector<uint32_t> ParticleTimes() {
    std::vector<uint32_t> times;
    for (uint32_t ms = 80000; ms < 182000; ms += 10) times.push_back(ms);
    for (uint32_t edge : {84999u, 85000u, 119999u, 120000u, 144999u, 145000u, 176199u, 176200u}) {
        times.push_back(edge);
    }
    std::sort(times.begin(), times.end());
    return times;
}

TEST_F(DemoTest, TheSwarmLivesFrom85To120AndTheWindAndFireFrom145To176) {
    ASSERT_TRUE(prepared);
    const std::set<const jolp::VertexBuffer*> coloured = {
        demo->redParticles->drawItem.vertexBuffer, demo->yellowParticles->drawItem.vertexBuffer,
        demo->greenParticles->drawItem.vertexBuffer, demo->blueParticles->drawItem.vertexBuffer};
    const std::set<const jolp::VertexBuffer*> windFire = {demo->windParticles->drawItem.vertexBuffer,
                                                          demo->fireParticles->drawItem.vertexBuffer};
    int32_t swarmLiveAtEnd = -1;
    for (uint32_t ms : ParticleTimes()) {
        Frame(ms, 0.01f);
        const std::set<const jolp::VertexBuffer*> drawn(submittedParticles.begin(), submittedParticles.end());
        ASSERT_EQ(drawn.size(), submittedParticles.size()) << "a system submitted twice at " << ms;
        std::set<const jolp::VertexBuffer*> want;
        if (ms >= 85000 && ms < 120000) want.insert(coloured.begin(), coloured.end());
        if (ms >= 145000 && ms < 176200) want.insert(windFire.begin(), windFire.end());
        ASSERT_EQ(drawn, want) << "at " << ms << " ms";
        if (ms == 119999) swarmLiveAtEnd = demo->redParticles->liveCount;
        if (ms >= 120000) {
            // Kept but frozen: nothing ages or is born outside the span.
            ASSERT_EQ(demo->redParticles->liveCount, swarmLiveAtEnd) << ms;
        }
    }
    EXPECT_GT(swarmLiveAtEnd, 0);
    EXPECT_GT(demo->windParticles->liveCount, 0);
}

TEST_F(DemoTest, EmittersFollowTheirDummiesOneFrameLate) {
    ASSERT_TRUE(prepared);
    Frame(90000, 0.02f);
    Frame(90020, 0.02f);
    for (int d = 0; d < 4; ++d) {
        const jolp::Sparkls* systems[] = {demo->redParticles, demo->yellowParticles, demo->greenParticles,
                                    demo->blueParticles};
        const jolp::Vec3 want = demo->scene->EvaluateTransform(demo->scene->FindDummy(kDummyNames[d])->transformTrack,
                                                               90.0f).position;
        EXPECT_EQ(systems[d]->emitterPosition.x, want.x) << kDummyNames[d];
        EXPECT_EQ(systems[d]->emitterPosition.y, want.y) << kDummyNames[d];
        EXPECT_NEAR(want.x, TestDummyPosition(d, 90.0f).x, 0.01f);
    }
    // The wind and fire stay put until their own span.
    EXPECT_EQ(demo->windParticles->emitterPosition.x, 0.0f);
    EXPECT_EQ(demo->fireParticles->emitterPosition.y, 0.0f);
    Frame(150000, 0.02f);
    Frame(150020, 0.02f);
    EXPECT_NEAR(demo->windParticles->emitterPosition.x, 1500.0f, 0.1f);
    EXPECT_EQ(demo->windParticles->emitterPosition.y, 5.0f);
    EXPECT_EQ(demo->fireParticles->emitterPosition.y, 6.0f);
}

TEST_F(DemoTest, ADummyTheSceneDoesNotHoldLeavesTheEmitterWhereItIs) {
    ASSERT_TRUE(prepared);
    ParticlesTrack track(0, 1000, "NoSuchDummy", demo.get(), demo->redParticles);
    demo->redParticles->emitterPosition = {1.0f, 2.0f, 3.0f};
    track.Update(*demo);
    EXPECT_EQ(demo->redParticles->emitterPosition.x, 1.0f);
    EXPECT_EQ(demo->redParticles->emitterPosition.z, 3.0f);
}

TEST_F(DemoTest, ASystemThatIsNotEnabledIsSkipped) {
    ASSERT_TRUE(prepared);
    demo->greenParticles->enabled = false;
    Frame(86000, 0.5f);
    EXPECT_EQ(demo->greenParticles->liveCount, 0);
    EXPECT_EQ(submittedParticles.size(), 3u);
    EXPECT_GT(demo->redParticles->liveCount, 0);
}

// A fresh demo over data, with name taken (by a null entry) before the
// scene worker runs, so that the worker's own object is not registered.
struct Refused {
    bool prepared;
    std::string err;
    size_t rootChildren;
    bool anyDeviceObjects;
};
Refused PrepareWithout(const fs::path& data, const std::string& name) {
    const fs::path before = fs::current_path();
    fs::current_path(data);
    jolp::RunConfig config;
    config.headless = true;
    config.createDisplay = &jolp::testing::RecordingDisplay;
    MyDemo demo(config);
    EXPECT_TRUE(demo.Init("Tarvel"));
    demo.resources.AddIfAbsent(name, nullptr);
    ::testing::internal::CaptureStderr();
    Refused result;
    result.prepared = demo.Prepare("media/music.ogg");
    result.err = ::testing::internal::GetCapturedStderr();
    result.rootChildren = demo.children.size();
    result.anyDeviceObjects = false;
    for (const char* system : kSystemNames) {
        if (name == system) continue;
        if (auto* s = demo.resources.FindAs<jolp::Sparkls>(system)) result.anyDeviceObjects |= s->drawItem.vertexBuffer != nullptr;
    }
    fs::current_path(before);
    return result;
}

TEST(DemoRefusalTest, AnyMissingParticleSystemOrSceneStopsTheStartUpNamingIt) {
    jolp::testing::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(WriteTestData(dir.Path()));
    std::vector<std::string> names(std::begin(kSystemNames), std::end(kSystemNames));
    names.push_back("scene");
    for (const std::string& name : names) {
        const Refused r = PrepareWithout(dir.Path(), name);
        EXPECT_FALSE(r.prepared) << name;
        EXPECT_THAT(r.err, HasSubstr("\"" + name + "\"")) << name;
        EXPECT_EQ(r.rootChildren, 0u) << name << ": tracks attached";
        EXPECT_FALSE(r.anyDeviceObjects) << name << ": device objects made";
    }
}

TEST(DemoRefusalTest, AMissingSceneFileStillPlaysTheParticlesOverNothing) {
    jolp::testing::TempDir dir;
    ASSERT_NO_FATAL_FAILURE(WriteTestData(dir.Path()));
    fs::remove(dir.Path() / "media/scenes/scene.JOLP3D");
    const Refused r = PrepareWithout(dir.Path(), "an unused name");
    EXPECT_TRUE(r.prepared) << r.err;
    EXPECT_EQ(r.rootChildren, 24u);
    EXPECT_THAT(r.err, HasSubstr("scene.JOLP3D"));
}

}  // namespace
}  // namespace tarvel::testing
