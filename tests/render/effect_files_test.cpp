// The demo's own effect files, compiled by the real GL device: every file
// compiles, each effect takes part in exactly its passes, and the
// parameters the renderer and the materials set are there.
#include "tests/support/headless_gl.h"
#include "render/shader.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvel {
namespace {

class EffectFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_.ok()) << gl_.error;
        device_ = gl_.device.get();
        std::filesystem::current_path(TARVEL_SOURCE_DIR);
    }

    std::unique_ptr<DemoShader> Load(const char* path) {
        std::string error;
        auto shader = DemoShader::Load(*device_, path, error);
        EXPECT_NE(shader, nullptr) << error;
        return shader;
    }

    static void ExpectParameters(const jolp::Effect& effect, std::initializer_list<const char*> names) {
        for (const char* name : names) EXPECT_TRUE(effect.GetParameterByName({}, name)) << effect.Path() << ": " << name;
    }

    jolp::testing::HeadlessGl gl_{64, 36};
    jolp::GlDevice* device_ = nullptr;
};

TEST_F(EffectFilesTest, SurfaceEffectsTakePartInTheAmbientShadowAndLightPasses) {
    for (const char* path : {"shaders/lambertblinn.fx", "shaders/parallaxedlambertblinn.fx"}) {
        auto shader = Load(path);
        ASSERT_NE(shader, nullptr);
        EXPECT_GE(shader->AmbientPass(), 0);
        EXPECT_GE(shader->ShadowDepthPass(), 0);
        EXPECT_GE(shader->diffusePass, 0);
        EXPECT_GE(shader->diffuseShadowPass, 0);
        EXPECT_GE(shader->diffuseVolumePass, 0);
        EXPECT_GE(shader->diffuseLightCubePass, 0);
        EXPECT_EQ(shader->WaterPass(), -1);
        EXPECT_EQ(shader->AdditivePass(), -1);
        ExpectParameters(*shader->GetEffect(),
                         {"matWorldToView", "matViewToProj", "matObjectToWorld", "matWorldToObject", "cameraPosition",
                          "lightPosition", "lightColor", "lightRadius", "depthShadowMap", "lightCube",
                          "matWorldToCubeFace", "materialDiffuseMap", "materialNormalMap", "materialSpecularMap",
                          "materialAmbientOclusionMap", "materialNormalSwap", "volumeLightIntensity"});
    }
    auto parallax = Load("shaders/parallaxedlambertblinn.fx");
    ASSERT_NE(parallax, nullptr);
    ExpectParameters(*parallax->GetEffect(), {"bumpDepth", "textureSize"});
}

TEST_F(EffectFilesTest, WaterAndAdditiveEffectsHaveOnlyTheirOwnPass) {
    auto water = Load("shaders/cubicwater.fx");
    auto additive = Load("shaders/additive.fx");
    ASSERT_TRUE(water && additive);
    EXPECT_EQ(water->GetEffect()->GetPass(water->GetTechnique(), 1), jolp::EffectHandle{});
    EXPECT_EQ(water->WaterPass(), 0);
    EXPECT_EQ(water->AmbientPass(), -1);
    EXPECT_EQ(water->DiffusePass(true, true, true), -1);
    ExpectParameters(*water->GetEffect(), {"materialNormalMap", "sceneCubeTex", "swapNormal", "time",
                                           "matObjectToWorld", "matWorldToView", "cameraPosition"});
    EXPECT_EQ(additive->AdditivePass(), 0);
    EXPECT_EQ(additive->AmbientPass(), -1);
    EXPECT_EQ(additive->ShadowDepthPass(), -1);
    ExpectParameters(*additive->GetEffect(), {"diffuseTex", "matObjectToWorld", "matWorldToView", "matViewToProj"});
}

TEST_F(EffectFilesTest, TheMasterEffectCompositesWithItsPassZero) {
    std::string error;
    auto master = LoadEffect(*device_, "shaders/master.fx", error);
    ASSERT_NE(master, nullptr) << error;
    jolp::EffectTechniqueDesc desc;
    ASSERT_TRUE(master->GetTechniqueDesc(master->GetCurrentTechnique(), desc));
    EXPECT_EQ(desc.passes, 1u);
    ExpectParameters(*master, {"frameColorRT", "viewportMin", "viewportMax", "fade"});
}

}  // namespace
}  // namespace tarvel
