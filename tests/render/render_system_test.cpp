// The render system's frame, call by call, on the recording device with the
// demo's own effect files: pass order, shadow faces before the light's own
// pass, when materials are applied, cull mode for mirrored items, where
// additive items go, the scissor rectangle, and what the lists and time do
// between frames.
#include "render/material.h"
#include "render/render_system.h"
#include "framework/data_path.h"
#include "scene/scene_file.h"
#include "tests/render/picture_scene.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace jolp {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// A Lambert-Blinn material that counts its Apply calls.
class CountingMaterial final : public LambertBlinnMaterial {
public:
    using LambertBlinnMaterial::LambertBlinnMaterial;
    void Apply() override {
        ++applies;
        LambertBlinnMaterial::Apply();
    }
    int applies = 0;
};

class RenderSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::current_path(TARVEL_SOURCE_DIR);
        rs_ = std::make_unique<RenderSystem>(device_, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420}, files_);
        ASSERT_TRUE(rs_->LoadEffects()) << rs_->StartupError();
        ASSERT_TRUE(rs_->CreateTargets()) << rs_->StartupError();
        // Name every program by the effect file and pass that draws with it.
        struct Named {
            const jolp::Effect* effect;
            const char* name;
        } effects[] = {{rs_->masterEffect.get(), "master"},
                       {rs_->lambertBlinnShader->GetEffect(), "lb"},
                       {rs_->parallaxedLambertBlinnShader->GetEffect(), "px"},
                       {rs_->additiveShader->GetEffect(), "add"},
                       {rs_->cubicWaterShader->GetEffect(), "water"},
                       {rs_->backgroundEffect.get(), "bg"},
                       {rs_->ShapesEffect(), "shapes"}};
        for (const Named& e : effects) {
            if (!e.effect) continue;
            jolp::EffectTechniqueDesc technique;
            e.effect->GetTechniqueDesc(e.effect->GetCurrentTechnique(), technique);
            for (uint32_t i = 0; i < technique.passes; ++i) {
                jolp::EffectHandle pass = e.effect->GetPass(e.effect->GetCurrentTechnique(), i);
                jolp::EffectPassDesc desc;
                e.effect->GetPassDesc(pass, desc);
                const std::string label = device_.LabelOf(e.effect->PassProgram(pass));
                // Passes sharing a program keep the first name.
                programs_.emplace(label, std::string(e.name) + ":" + desc.name);
            }
        }
        vertices_ = device_.CreateVertexBuffer(3 * jolp::kSceneVertexSize, jolp::kUsageWriteOnly);
        indices_ = device_.CreateIndexBuffer(6, jolp::kUsageWriteOnly, jolp::Format::Index16);
        static constexpr jolp::VertexElement kLayout[] = {{0, 0, jolp::DeclType::Float3, jolp::DeclUsage::Position, 0}};
        declaration_ = device_.CreateVertexDeclaration(kLayout);
        device_.recordParameters = false;
    }

    CountingMaterial& NewSurface() {
        surfaces_.push_back(std::make_unique<CountingMaterial>(*rs_, *rs_->lambertBlinnShader));
        return *surfaces_.back();
    }
    Material& NewMaterial(const char* shaderName) {
        others_.push_back(CreateMaterial(shaderName, *rs_));
        return *others_.back();
    }

    DrawItem Item(Material& material, float scaleX = 1.0f) {
        DrawItem item;
        item.vertexDeclaration = declaration_.get();
        item.vertexBuffer = vertices_.get();
        item.indexBuffer = indices_.get();
        item.vertexStride = jolp::kSceneVertexSize;
        item.primitiveCount = 1;
        item.vertexCount = 3;
        item.material = &material;
        item.world = jolp::MatrixIdentity();
        item.world.m[0][0] = scaleX;
        item.worldInverse = jolp::MatrixIdentity();
        return item;
    }

    // One frame; returns the draws as "effect:pass@target", with the target
    // "frame", "face0".."face5" or "back".
    std::vector<std::string> Frame() {
        device_.calls.clear();
        rs_->RenderFrame();
        return Draws();
    }

    std::vector<std::string> Draws() const {
        std::map<std::string, std::string> targets{{device_.LabelOf(rs_->frameColorTexture->GetSurfaceLevel(0)), "frame"},
                                                   {"backbuffer", "back"}};
        for (uint32_t f = 0; f < 6; ++f) {
            targets[device_.LabelOf(rs_->shadowCubeTexture->GetCubeMapSurface(f, 0))] = "face" + std::to_string(f);
        }
        std::vector<std::string> draws;
        std::string program = "?", target = "?";
        for (const std::string& line : device_.calls) {
            if (line.rfind("SetProgram ", 0) == 0) {
                auto it = programs_.find(line.substr(11));
                program = it == programs_.end() ? line.substr(11) : it->second;
            } else if (line.rfind("SetRenderTarget 0 ", 0) == 0) {
                auto it = targets.find(line.substr(18));
                target = it == targets.end() ? line.substr(18) : it->second;
            } else if (line.rfind("Draw", 0) == 0) {
                draws.push_back(program + "@" + target);
            }
        }
        return draws;
    }

    // The recorded lines from the first starting with `from`.
    std::vector<std::string> LinesMatching(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& line : device_.calls) {
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        }
        return out;
    }

    static RenderLight Light(bool shadow = false, bool cube = false, bool volume = false) {
        RenderLight light;
        light.position = {0.0f, 5.0f, -20.0f};
        light.radius = 10.0f;
        light.castsShadow = shadow;
        light.usesLightCube = cube;
        light.isVolume = volume;
        return light;
    }

    RenderFiles files_;
    jolp::testing::RecordingDevice device_;
    std::unique_ptr<RenderSystem> rs_;
    std::map<std::string, std::string> programs_;
    std::unique_ptr<jolp::VertexBuffer> vertices_;
    std::unique_ptr<jolp::IndexBuffer> indices_;
    std::unique_ptr<jolp::VertexDeclaration> declaration_;
    std::vector<std::unique_ptr<CountingMaterial>> surfaces_;
    std::vector<std::unique_ptr<Material>> others_;
};

TEST_F(RenderSystemTest, EmptyFrameClearsWhiteRunsNoPassAndComposites) {
    rs_->fade = 0.25f;
    EXPECT_THAT(Frame(), ElementsAre("master:composite@back"));
    const std::string frameTarget = device_.LabelOf(rs_->frameColorTexture->GetSurfaceLevel(0));
    const std::vector<std::string> head(device_.calls.begin(), device_.calls.begin() + 3);
    EXPECT_THAT(head, ElementsAre("SetRenderTarget 0 " + frameTarget,
                                  "SetDepthStencilSurface " + device_.LabelOf(rs_->sceneDepthSurface.get()),
                                  "Clear 7 ffffffff 1 0"));
    // The quad: a strip of two triangles from a 20-byte vertex.
    EXPECT_THAT(LinesMatching("DrawPrimitive"), ElementsAre("DrawPrimitive 5 0 2"));
    EXPECT_THAT(LinesMatching("SetStreamSource"), ElementsAre(::testing::EndsWith(" 0 20")));
    // The back buffer's own depth surface is current again afterwards.
    EXPECT_EQ(device_.depthSurface, device_.GetDepthStencilSurface());
    EXPECT_EQ(device_.renderTarget, device_.GetBackBuffer());
}

TEST_F(RenderSystemTest, PassesRunInOrderWithShadowFacesBeforeTheirLight) {
    Material& surface = NewSurface();
    Material& water = NewMaterial(kCubicWaterShaderName);
    Material& glow = NewMaterial(kAdditiveShaderName);
    rs_->SubmitItem(Item(glow));
    rs_->SubmitItem(Item(water));
    rs_->SubmitItem(Item(surface));
    rs_->SubmitLight(Light(/*shadow=*/true));
    rs_->SubmitLight(Light());
    EXPECT_THAT(Frame(), ElementsAre("lb:ambient@frame",                                  //
                                     "lb:shadowDepth@face0", "lb:shadowDepth@face1",      //
                                     "lb:shadowDepth@face2", "lb:shadowDepth@face3",      //
                                     "lb:shadowDepth@face4", "lb:shadowDepth@face5",      //
                                     "lb:diffuseShadow@frame", "lb:diffuse@frame",        //
                                     "water:water@frame", "add:additive@frame",           //
                                     "master:composite@back"));
    // Every face starts at 1.0 (white) with a cleared depth.
    EXPECT_EQ(LinesMatching("Clear 7 ffffffff 1 0").size(), 7u);
}

// A demo's frame with a background and shapes besides the scene.
class FlatRenderSystemTest : public RenderSystemTest {
protected:
    FlatRenderSystemTest() {
        files_.backgroundEffect = kBackgroundEffectPath;
        files_.shapesEffect = kShapesEffectPath;
    }
};

TEST_F(FlatRenderSystemTest, TheBackgroundGoesFirstAndTheShapesLastBeforeTheComposite) {
    rs_->SubmitItem(Item(NewMaterial(kAdditiveShaderName)));
    rs_->SubmitItem(Item(NewSurface()));
    rs_->SubmitLight(Light());
    Shape2D inWorld;
    inWorld.space = ShapeSpace::World;
    // Submitted before the picture's: the world's still go first.
    ASSERT_TRUE(rs_->SubmitShape(Shape2D{}) && rs_->SubmitShape(inWorld));
    rs_->clearColour = 0xFF000000u;
    EXPECT_THAT(Frame(), ElementsAre("bg:background@frame", "lb:ambient@frame", "lb:diffuse@frame",
                                     "add:additive@frame", "shapes:worldShapes@frame",
                                     "shapes:pictureShapes@frame", "master:composite@back"));
    EXPECT_THAT(LinesMatching("Clear "), ElementsAre("Clear 7 ff000000 1 0"));
    // The shapes were this frame's; the background stays.
    EXPECT_TRUE(rs_->shapes.empty());
    EXPECT_THAT(Frame(), ElementsAre("bg:background@frame", "master:composite@back"));
    // As many shapes as a frame holds, and no more.
    int taken = 0;
    while (rs_->SubmitShape(inWorld) && taken < 5000) ++taken;
    EXPECT_EQ(taken, 1024);
}

TEST_F(RenderSystemTest, WithoutAShapesEffectShapesAreTurnedAway) {
    EXPECT_FALSE(rs_->SubmitShape(Shape2D{}));
    EXPECT_THAT(Frame(), ElementsAre("master:composite@back"));
}

TEST_F(RenderSystemTest, LightFlagsChooseThePassCubeBeforeVolumeBeforeShadow) {
    rs_->SubmitItem(Item(NewSurface()));
    rs_->SubmitLight(Light(true, true, true));
    rs_->SubmitLight(Light(false, false, true));
    rs_->SubmitLight(Light(false, true, false));
    const std::vector<std::string> draws = Frame();
    std::vector<std::string> lit;
    for (const std::string& d : draws) {
        if (d.rfind("lb:diffuse", 0) == 0) lit.push_back(d);
    }
    EXPECT_THAT(lit, ElementsAre("lb:diffuseLightCube@frame", "lb:diffuseVolume@frame", "lb:diffuseLightCube@frame"));
    // Only the light that casts shadows renders the six faces.
    EXPECT_EQ(std::count_if(draws.begin(), draws.end(), [](const std::string& d) { return d.find("@face") != d.npos; }),
              6);
}

TEST_F(RenderSystemTest, MaterialsApplyOncePerRunAndAgainAtTheStartOfEveryList) {
    CountingMaterial& a = NewSurface();
    CountingMaterial& b = NewSurface();
    for (Material* m : {&a, &b, &a, &b, &a}) rs_->SubmitItem(Item(*m));
    Frame();
    // Sorted into two runs: ambient only.
    EXPECT_EQ(a.applies, 1);
    EXPECT_EQ(b.applies, 1);

    a.applies = b.applies = 0;
    for (Material* m : {&a, &a}) rs_->SubmitItem(Item(*m));
    rs_->SubmitLight(Light());
    rs_->SubmitLight(Light());
    Frame();
    // Ambient, then once for each light though the same material was the
    // last one applied.
    EXPECT_EQ(a.applies, 3);
    EXPECT_EQ(b.applies, 0);

    a.applies = 0;
    rs_->SubmitItem(Item(a));
    rs_->SubmitLight(Light(/*shadow=*/true));
    Frame();
    EXPECT_EQ(a.applies, 1 + 6 + 1);
}

TEST_F(RenderSystemTest, OpaqueItemsAreGroupedByWrapperThenMaterial) {
    Material& plain = NewSurface();
    Material& parallax = NewMaterial(kParallaxedLambertBlinnShaderName);
    Material& plain2 = NewSurface();
    for (Material* m : {&plain, &parallax, &plain2, &parallax, &plain}) rs_->SubmitItem(Item(*m));
    Frame();
    ASSERT_EQ(rs_->opaqueItems.size(), 0u);
    // The draws of one wrapper are adjacent: lb, lb, lb, px, px or px, px,
    // lb, lb, lb, depending on where the wrappers live.
    const std::vector<std::string> draws = Draws();
    ASSERT_EQ(draws.size(), 6u);
    int changes = 0;
    for (size_t i = 1; i + 1 < draws.size(); ++i) changes += draws[i].substr(0, 2) != draws[i - 1].substr(0, 2);
    EXPECT_EQ(changes, 1);
}

TEST_F(RenderSystemTest, MirroredItemsAreDrawnWithTheOtherCullMode) {
    Material& surface = NewSurface();
    rs_->SubmitItem(Item(surface, -1.0f));
    Frame();
    auto cull = LinesMatching("SetRenderState 22 ");
    ASSERT_FALSE(cull.empty());
    EXPECT_EQ(cull.front(), "SetRenderState 22 2");

    rs_->SubmitItem(Item(surface, 0.0f));  // flat: a determinant of exactly 0
    Frame();
    cull = LinesMatching("SetRenderState 22 ");
    ASSERT_FALSE(cull.empty());
    EXPECT_EQ(cull.front(), "SetRenderState 22 3");
}

TEST_F(RenderSystemTest, AdditiveItemsDrawOnlyInTheAdditivePassInSubmissionOrder) {
    auto first = std::make_unique<AdditiveMaterial>(*rs_, *rs_->additiveShader);
    auto second = std::make_unique<AdditiveMaterial>(*rs_, *rs_->additiveShader);
    // Give each its own texture, so the order can be read from the draws.
    auto t1 = device_.CreateTexture(4, 4, 1, 0, jolp::Format::A8R8G8B8);
    auto t2 = device_.CreateTexture(4, 4, 1, 0, jolp::Format::A8R8G8B8);
    jolp::Texture2D r1, r2;
    r1.texture = std::move(t1);
    r2.texture = std::move(t2);
    first->diffuseMap = &r1;
    second->diffuseMap = &r2;
    // Submitted in the order opposite to their addresses' order.
    Material* lower = std::less<Material*>()(first.get(), second.get()) ? first.get() : second.get();
    Material* higher = lower == first.get() ? second.get() : first.get();
    rs_->SubmitItem(Item(*higher));
    rs_->SubmitItem(Item(*lower));
    rs_->SubmitLight(Light(true));
    device_.recordParameters = true;
    const std::vector<std::string> draws = Frame();
    EXPECT_THAT(draws, ElementsAre("add:additive@frame", "add:additive@frame", "master:composite@back"));
    const std::string higherLabel =
        device_.LabelOf(static_cast<AdditiveMaterial*>(higher)->diffuseMap->texture.get());
    const std::string lowerLabel = device_.LabelOf(static_cast<AdditiveMaterial*>(lower)->diffuseMap->texture.get());
    std::vector<std::string> bound;
    for (const std::string& line : device_.calls) {
        if (line.rfind("SetTexture", 0) == 0 && (line.find(higherLabel) != line.npos || line.find(lowerLabel) != line.npos)) {
            bound.push_back(line.substr(line.rfind(' ') + 1));
        }
    }
    ASSERT_GE(bound.size(), 2u);
    EXPECT_EQ(bound.front(), higherLabel);
    EXPECT_EQ(bound.back(), lowerLabel);
}

TEST_F(RenderSystemTest, ScissorRectangleIsSetPerLightAndResetWithoutTouchingTheScissorTest) {
    rs_->SubmitLight(Light());
    Frame();
    // No effect pass ran (no items), so nothing wrote the scissor test.
    EXPECT_TRUE(LinesMatching("SetRenderState 174").empty());
    EXPECT_THAT(LinesMatching("SetScissorRect"), ElementsAre("SetScissorRect 0 0 640 360", "SetScissorRect 0 0 640 360"));

    // Once a frame has been drawn, a light wholly behind the camera is left
    // out, and one in front of it gets the rectangle around its sphere.
    rs_->camera.fov = 0.8f;
    rs_->camera.right = {1, 0, 0};
    rs_->camera.up = {0, 1, 0};
    rs_->camera.forward = {0, 0, 1};
    RenderLight behind = Light();
    behind.position = {0.0f, 0.0f, 50.0f};
    behind.radius = 4.0f;
    rs_->SubmitLight(behind);
    Frame();
    EXPECT_TRUE(LinesMatching("SetScissorRect").empty());

    RenderLight ahead = behind;
    ahead.position = {0.0f, 0.0f, -50.0f};
    rs_->SubmitLight(ahead);
    Frame();
    const auto rects = LinesMatching("SetScissorRect");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_NE(rects[0], "SetScissorRect 0 0 640 360");
    EXPECT_EQ(rects[1], "SetScissorRect 0 0 640 360");
}

TEST_F(RenderSystemTest, ListsEmptyAfterEveryFrameKeepingTheirStorage) {
    Material& surface = NewSurface();
    for (int i = 0; i < 3; ++i) rs_->SubmitItem(Item(surface));
    rs_->SubmitItem(Item(NewMaterial(kAdditiveShaderName)));
    rs_->SubmitLight(Light());
    const size_t capacity = rs_->opaqueItems.capacity();
    EXPECT_EQ(rs_->opaqueItems.size(), 3u);
    EXPECT_EQ(rs_->additiveItems.size(), 1u);
    rs_->RenderFrame();
    EXPECT_TRUE(rs_->opaqueItems.empty());
    EXPECT_TRUE(rs_->additiveItems.empty());
    EXPECT_TRUE(rs_->lights.empty());
    EXPECT_EQ(rs_->opaqueItems.capacity(), capacity);

    rs_->SubmitItem(Item(surface));
    rs_->SkipFrame();
    EXPECT_TRUE(rs_->opaqueItems.empty());
}

TEST_F(RenderSystemTest, ItemsWithoutAKnownWrapperAreDropped) {
    DrawItem none = Item(NewSurface());
    none.material = nullptr;
    rs_->SubmitItem(none);
    // A material drawn through a wrapper this render system does not hold.
    jolp::testing::RecordingDevice other;
    RenderSystem stranger(other, jolp::Rect{0, 0, 64, 64}, jolp::Rect{0, 0, 64, 64});
    ASSERT_TRUE(stranger.LoadEffects());
    auto foreign = CreateMaterial(kLambertBlinnShaderName, stranger);
    rs_->SubmitItem(Item(*foreign));
    EXPECT_TRUE(rs_->opaqueItems.empty());
    EXPECT_TRUE(rs_->additiveItems.empty());
}

TEST_F(RenderSystemTest, TimeAdvancesByFrameNotByClock) {
    for (int i = 0; i < 20; ++i) rs_->RenderFrame();
    for (int i = 0; i < 5; ++i) rs_->SkipFrame();
    EXPECT_NEAR(rs_->time, 1.0f, 1e-5f);
}

TEST(RenderSystemGeometry, ConstructionPlacesThePictureInsideTheWindow) {
    jolp::testing::RecordingDevice device(1000, 400);
    RenderSystem rs(device, jolp::Rect{0, 0, 1000, 400}, jolp::Rect{144, 0, 856, 400});
    EXPECT_EQ(rs.width, 712);
    EXPECT_EQ(rs.height, 400);
    EXPECT_FLOAT_EQ(rs.viewportMin[0], 0.144f);
    EXPECT_FLOAT_EQ(rs.viewportMin[1], 0.0f);
    EXPECT_FLOAT_EQ(rs.viewportMax[0], 0.856f);
    EXPECT_FLOAT_EQ(rs.viewportMax[1], 1.0f);
    EXPECT_FLOAT_EQ(rs.fade, 1.0f);
    EXPECT_FLOAT_EQ(rs.camera.fov, 45.0f);
}

TEST(RenderSystemStartup, RefusedTargetsEndStartUpNamingTheTarget) {
    std::filesystem::current_path(TARVEL_SOURCE_DIR);
    for (const char* refused : {"CreateTexture", "CreateCubeTexture", "CreateDepthStencilSurface"}) {
        jolp::testing::RecordingDevice device;
        device.refuse.insert(refused);
        RenderSystem rs(device, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420});
        ASSERT_TRUE(rs.LoadEffects()) << rs.StartupError();
        EXPECT_FALSE(rs.CreateTargets()) << refused;
        EXPECT_THAT(rs.StartupError(), ::testing::HasSubstr("cannot create")) << refused;
        // A frame after a failed start-up draws nothing and does not crash.
        rs.RenderFrame();
    }
}

TEST(RenderSystemStartup, AnotherDemosFilesAreReadFromTheirOwnPaths) {
    // Another demo's copy of the effect files, in a folder and under names
    // of its own, and a light cube beside them.
    jolp::testing::TempDir data;
    const std::filesystem::path fx = data.Path() / "looks";
    std::filesystem::copy(std::filesystem::path(TARVEL_SOURCE_DIR) / "shaders", fx);
    RenderFiles files;
    files.masterEffect = "looks/post.fx";
    files.lambertBlinnEffect = "looks/plain.fx";
    files.parallaxEffect = "looks/bumpy.fx";
    files.additiveEffect = "looks/glow.fx";
    files.cubicWaterEffect = "looks/sea.fx";
    files.lightCube = "looks/tint.dds";
    files.shadowCubeEdge = 128;
    const std::pair<const char*, const std::string&> renames[] = {
        {"master.fx", files.masterEffect},
        {"lambertblinn.fx", files.lambertBlinnEffect},
        {"parallaxedlambertblinn.fx", files.parallaxEffect},
        {"additive.fx", files.additiveEffect},
        {"cubicwater.fx", files.cubicWaterEffect}};
    for (const auto& [from, to] : renames) std::filesystem::rename(fx / from, data.Path() / to);
    std::string error;
    ASSERT_TRUE(jolp::testing::WriteSolidCube(data / files.lightCube, {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255},
                                                                         {255, 255, 0}, {0, 255, 255}, {255, 0, 255}}},
                                              error))
        << error;

    // Nothing is read from the working folder.
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    jolp::testing::RecordingDevice device;
    RenderSystem rs(device, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420}, files);
    rs.dataFolder = data.Path().string();
    ASSERT_TRUE(rs.LoadEffects()) << rs.StartupError();
    EXPECT_EQ(rs.masterEffect->Path(), jolp::DataPath(rs.dataFolder, files.masterEffect));
    EXPECT_EQ(rs.cubicWaterShader->GetEffect()->Path(), jolp::DataPath(rs.dataFolder, files.cubicWaterEffect));
    ASSERT_TRUE(rs.CreateTargets()) << rs.StartupError();
    ASSERT_NE(rs.lightCubeTexture, nullptr);
    EXPECT_EQ(rs.shadowCubeTexture->Width(), 128u);
    std::string messages;
    EXPECT_TRUE(rs.ReloadEffects(messages)) << messages;

    // A file gone is named by the path the demo gave it, at a reload and at
    // start-up.
    const std::string sea = jolp::DataPath(rs.dataFolder, files.cubicWaterEffect);
    std::filesystem::remove(sea);
    EXPECT_FALSE(rs.ReloadEffects(messages));
    EXPECT_THAT(messages, ::testing::StartsWith(sea + ":"));
    RenderSystem fresh(device, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420}, files);
    fresh.dataFolder = rs.dataFolder;
    EXPECT_FALSE(fresh.LoadEffects());
    EXPECT_THAT(fresh.StartupError(), ::testing::StartsWith(sea + ":"));
    std::filesystem::current_path(TARVEL_SOURCE_DIR);
}

TEST(CameraMatrices, ViewAndProjectionFollowTheCameraRecord) {
    jolp::CameraView c;
    c.position = {1, 2, 3};
    c.right = {1, 0, 0};
    c.up = {0, 1, 0};
    c.forward = {0, 0, 1};
    c.fov = 1.5707964f;
    c.aspect = 2.0f;
    c.nearPlane = 1.0f;
    c.farPlane = 101.0f;
    const jolp::Matrix v = CameraViewMatrix(c);
    EXPECT_FLOAT_EQ(v.m[3][0], -1.0f);
    EXPECT_FLOAT_EQ(v.m[3][1], -2.0f);
    EXPECT_FLOAT_EQ(v.m[3][2], -3.0f);
    EXPECT_FLOAT_EQ(v.m[3][3], 1.0f);
    const jolp::Matrix p = CameraProjectionMatrix(c);
    EXPECT_NEAR(p.m[1][1], 1.0f, 1e-6f);  // cot(45 degrees)
    EXPECT_NEAR(p.m[0][0], 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(p.m[2][2], 101.0f / -100.0f);
    EXPECT_FLOAT_EQ(p.m[2][3], -1.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], 101.0f / -100.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    EXPECT_EQ(p.m[0][3], 0.0f);
    EXPECT_EQ(v.m[0][3], 0.0f);
    // A point on the near plane in front of the camera lands at depth 0,
    // one on the far plane at depth 1.
    auto depth = [&](float z) {
        const float clipZ = z * p.m[2][2] + p.m[3][2];
        const float clipW = z * p.m[2][3];
        return clipZ / clipW;
    };
    EXPECT_NEAR(depth(-1.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(depth(-101.0f), 1.0f, 1e-6f);
}

}  // namespace
}  // namespace jolp
