// Materials and BindScene on the recording device with the demo's effect
// files: which class a shader name makes, what Load reads from a scene
// material, what Apply leaves alone, and the scene joined to the renderer.
#include "render/bind_scene.h"
#include "render/material.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "tests/support/recording_device.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace jolp {
namespace {

class MaterialsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::current_path(TARVEL_SOURCE_DIR);
        rs_ = std::make_unique<RenderSystem>(device_, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420});
        ASSERT_TRUE(rs_->LoadEffects()) << rs_->StartupError();
        device_.recordParameters = false;
    }

    // A registered texture resource with a device texture of its own.
    template <typename T>
    T* Register(const std::string& name) {
        auto resource = std::make_unique<T>();
        if constexpr (std::is_same_v<T, jolp::TextureCube>) {
            resource->texture = device_.CreateCubeTexture(4, 1, 0, jolp::Format::A8R8G8B8);
        } else {
            resource->texture = device_.CreateTexture(4, 4, 1, 0, jolp::Format::A8R8G8B8);
        }
        T* raw = resource.get();
        registry_.AddIfAbsent(name, raw);
        owned_.push_back(std::move(resource));
        return raw;
    }

    static jolp::SceneMaterial Record(const char* shader, jolp::NameMap parameters) {
        jolp::SceneMaterial record;
        record.shaderName = shader;
        record.parameters = std::move(parameters);
        return record;
    }

    jolp::testing::RecordingDevice device_;
    std::unique_ptr<RenderSystem> rs_;
    jolp::ResourceRegistry registry_;
    std::vector<std::unique_ptr<jolp::Resource>> owned_;
};

TEST_F(MaterialsTest, ShaderNamesSelectTheClassAndItsWrapperExactly) {
    auto lb = CreateMaterial("qo_lambertblinn.fx", *rs_);
    auto px = CreateMaterial("qo_parallaxedlambertblinn.fx", *rs_);
    auto add = CreateMaterial("qo_additive.fx", *rs_);
    auto water = CreateMaterial("qo_cubicwater.fx", *rs_);
    ASSERT_TRUE(lb && px && add && water);
    EXPECT_NE(dynamic_cast<LambertBlinnMaterial*>(lb.get()), nullptr);
    EXPECT_EQ(dynamic_cast<ParallaxedLambertBlinnMaterial*>(lb.get()), nullptr);
    EXPECT_NE(dynamic_cast<ParallaxedLambertBlinnMaterial*>(px.get()), nullptr);
    EXPECT_NE(dynamic_cast<AdditiveMaterial*>(add.get()), nullptr);
    EXPECT_NE(dynamic_cast<CubicWaterMaterial*>(water.get()), nullptr);
    EXPECT_EQ(lb->shader, rs_->lambertBlinnShader.get());
    EXPECT_EQ(px->shader, rs_->parallaxedLambertBlinnShader.get());
    EXPECT_EQ(add->shader, rs_->additiveShader.get());
    EXPECT_EQ(water->shader, rs_->cubicWaterShader.get());
    EXPECT_TRUE(lb->objectToWorldHandle);
    EXPECT_TRUE(lb->worldToObjectHandle);

    EXPECT_EQ(CreateMaterial("qo_LambertBlinn.fx", *rs_), nullptr);
    EXPECT_EQ(CreateMaterial("qo_lambertblinn.fx ", *rs_), nullptr);
    EXPECT_EQ(CreateMaterial("", *rs_), nullptr);
    // Without its wrapper a name makes nothing.
    rs_->cubicWaterShader.reset();
    EXPECT_EQ(CreateMaterial("qo_cubicwater.fx", *rs_), nullptr);
}

TEST_F(MaterialsTest, LoadReadsTexturesSwapsAndNumbersFromTheRecord) {
    jolp::Texture2D* diffuse = Register<jolp::Texture2D>("rock_d.tga");
    jolp::Texture2D* normal = Register<jolp::Texture2D>("rock_n.dds");
    Register<jolp::Texture2D>("flat.jpg");
    jolp::TextureCube* sky = Register<jolp::TextureCube>("sky.dds");

    ParallaxedLambertBlinnMaterial px(*rs_, *rs_->parallaxedLambertBlinnShader);
    EXPECT_EQ(px.normalSwapX, 0.0f);  // nothing until Load
    px.Load(Record("qo_parallaxedlambertblinn.fx", {{"diffuseTex", "rock_d.tga"},
                                                    {"normalTex", "rock_n.dds"},
                                                    {"specularTex", "missing.tga"},
                                                    {"swapNormalX", "True"},
                                                    {"swapNormalY", "true"},
                                                    {"textureSize", "256"}}),
            registry_);
    EXPECT_EQ(px.diffuseMap, diffuse);
    EXPECT_EQ(px.normalMap, normal);
    EXPECT_EQ(px.specularMap, nullptr);
    EXPECT_EQ(px.ambientOclusionMap, nullptr);
    EXPECT_EQ(px.normalSwapX, 1.0f);
    EXPECT_EQ(px.normalSwapY, -1.0f);
    EXPECT_EQ(px.bumpDepth, 0.0f);
    EXPECT_EQ(px.textureSize, 256.0f);

    CubicWaterMaterial water(*rs_, *rs_->cubicWaterShader);
    water.Load(Record("qo_cubicwater.fx", {{"normalTex", "flat.jpg"}, {"sceneCubeTex", "sky.dds"}}), registry_);
    EXPECT_EQ(water.sceneCube, sky);
    EXPECT_EQ(water.normalSwapX, 1.0f);
    // A 2D texture is no cube, and a cube no 2D texture.
    water.Load(Record("qo_cubicwater.fx", {{"normalTex", "sky.dds"}, {"sceneCubeTex", "flat.jpg"}}), registry_);
    EXPECT_EQ(water.sceneCube, nullptr);
    EXPECT_EQ(water.normalMap, nullptr);
}

TEST_F(MaterialsTest, AnAbsentTextureLeavesTheEffectWithTheEarlierOne) {
    Register<jolp::Texture2D>("gloss.tga");
    Register<jolp::Texture2D>("a.tga");
    LambertBlinnMaterial shiny(*rs_, *rs_->lambertBlinnShader);
    LambertBlinnMaterial dull(*rs_, *rs_->lambertBlinnShader);
    shiny.Load(Record("qo_lambertblinn.fx", {{"diffuseTex", "a.tga"}, {"specularTex", "gloss.tga"}}), registry_);
    dull.Load(Record("qo_lambertblinn.fx", {{"diffuseTex", "a.tga"}}), registry_);
    ASSERT_NE(shiny.specularMap, nullptr);
    ASSERT_EQ(dull.specularMap, nullptr);

    shiny.Apply();
    dull.Apply();
    // The next pass binds the textures the effect holds: gloss among them.
    jolp::Effect& effect = *rs_->lambertBlinnShader->GetEffect();
    device_.recordParameters = true;
    device_.calls.clear();
    effect.Begin(nullptr, 0);
    effect.BeginPass(static_cast<uint32_t>(rs_->lambertBlinnShader->diffusePass));
    effect.EndPass();
    effect.End();
    const std::string gloss = device_.LabelOf(shiny.specularMap->texture.get());
    bool bound = false;
    for (const std::string& line : device_.calls) bound |= line.rfind("SetTexture", 0) == 0 && line.ends_with(" " + gloss);
    EXPECT_TRUE(bound);
}

TEST(BindScene, MakesMaterialsForKnownShadersAndRenderLightsForEveryLight) {
    std::filesystem::current_path(TARVEL_SOURCE_DIR);
    jolp::testing::RecordingDevice device;
    RenderSystem rs(device, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420});
    ASSERT_TRUE(rs.LoadEffects());

    jolp::SceneFileBuilder builder;
    jolp::BuildSampleScene(builder);
    builder.AddLeafMaterial("Odd", "qo_LambertBlinn.fx");
    builder.AddLight("lamp_shadow_cube", 0, 0, 0);
    // Track 0 of the sample is a transform track; lights need vector tracks.
    auto& lights = builder.File().lights;
    lights.back().positionTrack = lights.front().positionTrack;
    lights.back().colorTrack = lights.front().colorTrack;
    lights.back().radiusTrack = lights.front().radiusTrack;
    const std::vector<uint8_t> bytes = builder.Write();
    jolp::JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "sample.JOLP3D", &device));

    jolp::ResourceRegistry registry;
    BindScene(rs, scene, registry);
    int made = 0;
    for (jolp::SceneMaterial* record : scene.leafMaterials) {
        const bool known = record->shaderName == "qo_lambertblinn.fx" || record->shaderName == "qo_additive.fx";
        EXPECT_EQ(record->material != nullptr, known) << record->name;
        made += record->material != nullptr;
    }
    EXPECT_EQ(made, 2);
    ASSERT_EQ(scene.lights.size(), 3u);
    for (const jolp::SceneLight& light : scene.lights) ASSERT_NE(light.renderLight, nullptr) << light.name;
    EXPECT_TRUE(scene.lights[0].renderLight->castsShadow);
    EXPECT_TRUE(scene.lights[1].renderLight->isVolume);
    EXPECT_TRUE(scene.lights[2].renderLight->castsShadow && scene.lights[2].renderLight->usesLightCube);

    // Submitted through the render system: the sample's stone cube and the
    // stone half of the split cube are opaque, the glowing half additive.
    scene.Animate(jolp::MatrixIdentity(), 0.5f);
    scene.SubmitDrawItems(rs);
    scene.SubmitLights(rs);
    EXPECT_EQ(rs.opaqueItems.size(), 2u);
    EXPECT_EQ(rs.additiveItems.size(), 1u);
    ASSERT_EQ(rs.lights.size(), 3u);
    EXPECT_EQ(rs.lights[0].position.x, scene.lights[0].position.x);
    EXPECT_TRUE(rs.lights[2].usesLightCube);
}

}  // namespace
}  // namespace jolp
