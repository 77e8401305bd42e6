// The demo's own effect files, compiled by the real GL device: every file
// compiles, each effect takes part in exactly its passes, the parameters
// the renderer and the materials set are there, and a file that lacks one
// of its passes (the background's and the shapes' too) ends start-up
// naming it.
#include "tests/support/headless_gl.h"
#include "tests/support/temp_dir.h"
#include "render/render_system.h"
#include "render/shader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace jolp {
namespace {

class EffectFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_.ok()) << gl_.error;
        device_ = gl_.device.get();
        std::filesystem::current_path(TARVEL_SOURCE_DIR);
    }

    std::unique_ptr<DemoShader> Load(const char* path, PassNames passes) {
        std::string error;
        auto shader = DemoShader::Load(*device_, path, passes, error);
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
        auto shader = Load(path, kSurfacePasses);
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
    auto parallax = Load("shaders/parallaxedlambertblinn.fx", kSurfacePasses);
    ASSERT_NE(parallax, nullptr);
    ExpectParameters(*parallax->GetEffect(), {"bumpDepth", "textureSize"});
}

TEST_F(EffectFilesTest, WaterAndAdditiveEffectsHaveOnlyTheirOwnPass) {
    auto water = Load("shaders/cubicwater.fx", kWaterPasses);
    auto additive = Load("shaders/additive.fx", kAdditivePasses);
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

// The names of text's passes, each with text less its @pass block (the
// @pass line and the lines up to the next directive).
std::vector<std::pair<std::string, std::string>> EachPassDeleted(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t at = text.find("\n@pass "); at != std::string::npos; at = text.find("\n@pass ", at + 1)) {
        const size_t name = at + 7;
        const std::string pass = text.substr(name, text.find('\n', name) - name);
        size_t end = text.find("\n@", name);
        end = end == std::string::npos ? text.size() : end;
        out.emplace_back(pass, text.substr(0, at) + text.substr(end));
    }
    return out;
}

TEST_F(EffectFilesTest, EveryPassTheRendererDrawsWithMustBeDeclared) {
    jolp::testing::TempDir dir;
    std::filesystem::copy("shaders", dir.Path() / "shaders");
    std::filesystem::current_path(dir.Path());
    int cases = 0;
    // With the background and the shapes, which a demo draws only when it
    // names their files.
    RenderFiles files;
    files.backgroundEffect = kBackgroundEffectPath;
    files.shapesEffect = kShapesEffectPath;
    for (const char* path : {kMasterEffectPath, kLambertBlinnEffectPath, kParallaxEffectPath, kAdditiveEffectPath,
                             kCubicWaterEffectPath, kBackgroundEffectPath, kShapesEffectPath}) {
        std::ifstream in(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        for (const auto& [pass, without] : EachPassDeleted(text)) {
            SCOPED_TRACE(std::string(path) + " without " + pass);
            std::ofstream(path, std::ios::binary | std::ios::trunc) << without;
            RenderSystem rs(*device_, jolp::Rect{0, 0, 64, 36}, jolp::Rect{0, 0, 64, 36}, files);
            EXPECT_FALSE(rs.LoadEffects());
            EXPECT_EQ(rs.StartupError(), std::string(path) + ": no pass \"" + pass + "\"");
            ++cases;
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    EXPECT_EQ(cases, 1 + 6 + 6 + 1 + 1 + 1 + 2);
    RenderSystem rs(*device_, jolp::Rect{0, 0, 64, 36}, jolp::Rect{0, 0, 64, 36}, files);
    EXPECT_TRUE(rs.LoadEffects()) << rs.StartupError();
    ASSERT_NE(rs.backgroundEffect, nullptr);
    ExpectParameters(*rs.backgroundEffect, {"backgroundTopColor", "backgroundBottomColor"});
    std::filesystem::current_path(TARVEL_SOURCE_DIR);
}

}  // namespace
}  // namespace jolp
