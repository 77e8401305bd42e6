// The effect runtime on the recording device: what BeginPass hands the
// device, what End puts back, and handles for names an effect lacks. The
// effects are written in memory, in the same format as shaders/.
#include "framework/effect.h"
#include "tests/support/headless_gl.h"
#include "tests/support/recording_device.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace jolp {
namespace {

using ::testing::HasSubstr;
using testing::RecordingDevice;

EffectFileReader Files(std::map<std::string, std::string> files) {
    return [files](const std::string& path, std::string& text, std::string& error) {
        auto it = files.find(path);
        if (it == files.end()) {
            error = "No such file or directory";
            return false;
        }
        text = it->second;
        return true;
    };
}

constexpr const char* kTwoPasses = R"(@technique Test
@common
uniform mat4 matWorld;
uniform vec4 tint;
uniform sampler2D image;
uniform samplerCube sky;
@vertex vs
in vec3 inPosition;
void main() { gl_Position = vec4(inPosition, 1.0) * matWorld; }
@fragment plainFS
out vec4 outColor;
void main() { outColor = tint; }
@fragment texturedFS
out vec4 outColor;
void main() { outColor = texture(image, vec2(0.5)) + texture(sky, vec3(1.0)); }
@sampler image
Filter = Point
@pass Ambient
Vertex = vs
Fragment = plainFS
@pass glow
Vertex = vs
Fragment = texturedFS
AlphaBlendEnable = true
SrcBlend = One
DestBlend = One
ZWriteEnable = false
)";

class EffectTest : public ::testing::Test {
protected:
    std::unique_ptr<Effect> Load(const char* text = kTwoPasses) {
        std::string error;
        auto effect = Effect::Load(device_, "test.fx", error, Files({{"test.fx", text}}));
        EXPECT_NE(effect, nullptr) << error;
        return effect;
    }
    size_t Count(const std::string& line) const {
        return static_cast<size_t>(std::count(device_.calls.begin(), device_.calls.end(), line));
    }
    RecordingDevice device_;
};

TEST_F(EffectTest, DescribesItsTechniqueAndPassesInFileOrder) {
    auto effect = Load();
    EffectTechniqueDesc technique;
    ASSERT_TRUE(effect->GetTechniqueDesc(effect->GetCurrentTechnique(), technique));
    EXPECT_EQ(technique.name, "Test");
    EXPECT_EQ(technique.passes, 2u);
    EffectPassDesc pass;
    ASSERT_TRUE(effect->GetPassDesc(effect->GetPass(effect->GetCurrentTechnique(), 1), pass));
    EXPECT_EQ(pass.name, "glow");
    EXPECT_FALSE(effect->GetPass(effect->GetCurrentTechnique(), 2));
    EXPECT_FALSE(effect->GetPassDesc(EffectHandle{}, pass));
}

TEST_F(EffectTest, ParametersAreTheUniformsByExactName) {
    auto effect = Load();
    EXPECT_TRUE(effect->GetParameterByName({}, "tint"));
    EXPECT_TRUE(effect->GetParameterByName({}, "image"));
    EXPECT_FALSE(effect->GetParameterByName({}, "Tint"));
    EXPECT_FALSE(effect->GetParameterByName({}, "lightTexture"));
    EXPECT_FALSE(effect->GetParameterByName(effect->GetParameterByName({}, "tint"), "tint"));  // no children
    // Setting through an empty handle does nothing and does not crash.
    const float m[16] = {};
    effect->SetMatrix(EffectHandle{}, m);
    effect->SetVector(EffectHandle{}, m);
    effect->SetFloat(EffectHandle{}, 1.0f);
    effect->SetBool(EffectHandle{}, true);
    effect->SetTexture(EffectHandle{}, nullptr);
}

TEST_F(EffectTest, ValuesSetAreSeenByTheNextBeginPass) {
    auto effect = Load();
    const EffectHandle tint = effect->GetParameterByName({}, "tint");
    const float red[4] = {1, 0, 0, 1};
    effect->SetVector(tint, red);
    ASSERT_TRUE(effect->Begin(nullptr, 0));
    device_.calls.clear();
    ASSERT_TRUE(effect->BeginPass(0));
    EXPECT_EQ(device_.calls.front().rfind("SetProgram prog", 0), 0u);
    const float green[4] = {0, 1, 0, 1};
    effect->SetVector(tint, green);  // not seen by the pass in progress...
    EXPECT_EQ(Count("SetUniform 1 0 1 0 1"), 0u);
    effect->CommitChanges();  // ...until committed
    EXPECT_EQ(Count("SetUniform 1 0 1 0 1"), 1u);
    EXPECT_EQ(Count("SetUniform 1 1 0 0 1"), 1u);
    effect->EndPass();
    EXPECT_FALSE(effect->Begin(nullptr, 0));  // already begun
    effect->End();
}

TEST_F(EffectTest, EndRestoresEveryStateThePassesSet) {
    auto effect = Load();
    device_.SetRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    uint32_t passes = 0;
    ASSERT_TRUE(effect->Begin(&passes, 0));
    EXPECT_EQ(passes, 2u);
    ASSERT_TRUE(effect->BeginPass(1));
    EXPECT_EQ(device_.GetRenderState(RenderState::AlphaBlendEnable), 1u);
    EXPECT_EQ(device_.GetRenderState(RenderState::DestBlend), kBlendOne);
    EXPECT_EQ(device_.GetRenderState(RenderState::ZWriteEnable), 0u);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(device_.GetRenderState(RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(device_.GetRenderState(RenderState::DestBlend), kBlendInvSrcAlpha);
    EXPECT_EQ(device_.GetRenderState(RenderState::ZWriteEnable), 1u);
    EXPECT_EQ(device_.GetRenderState(RenderState::SrcBlend), kBlendOne);
    EXPECT_FALSE(effect->BeginPass(0));  // not begun
}

TEST_F(EffectTest, TexturesGoToTheirSamplersOnlyWhenOfTheRightKind) {
    auto effect = Load();
    auto flat = device_.CreateTexture(4, 4, 1, 0, Format::A8R8G8B8);
    auto cube = device_.CreateCubeTexture(4, 1, 0, Format::A8R8G8B8);
    const EffectHandle image = effect->GetParameterByName({}, "image");
    const EffectHandle sky = effect->GetParameterByName({}, "sky");
    effect->SetTexture(image, flat.get());
    effect->SetTexture(sky, flat.get());  // a 2D texture on a cube sampler counts as none
    effect->Begin(nullptr, 0);
    effect->BeginPass(1);
    const std::string flatLabel = device_.LabelOf(flat.get());
    EXPECT_EQ(Count("SetTexture 0 " + flatLabel) + Count("SetTexture 1 " + flatLabel), 1u);
    EXPECT_EQ(Count("SetTexture 0 null") + Count("SetTexture 1 null"), 1u);
    effect->EndPass();
    effect->SetTexture(sky, cube.get());
    effect->BeginPass(1);
    EXPECT_EQ(Count("SetTexture 0 " + device_.LabelOf(cube.get())) + Count("SetTexture 1 " + device_.LabelOf(cube.get())),
              1u);
    effect->EndPass();
    effect->End();
}

TEST_F(EffectTest, ABuildOfTheFileLoadedAnewTakesOverTheValuesAndTexturesSet) {
    auto previous = Load();
    auto flat = device_.CreateTexture(4, 4, 1, 0, Format::A8R8G8B8);
    const float red[4] = {1, 0, 0, 1};
    previous->SetVector(previous->GetParameterByName({}, "tint"), red);
    previous->SetTexture(previous->GetParameterByName({}, "image"), flat.get());
    auto again = Load();  // the file loaded anew
    again->CopyValuesFrom(*previous);
    again->Begin(nullptr, 0);
    device_.calls.clear();
    again->BeginPass(0);
    EXPECT_EQ(Count("SetUniform 1 1 0 0 1"), 1u) << "the tint was not taken over";
    again->EndPass();
    device_.calls.clear();
    again->BeginPass(1);
    EXPECT_EQ(Count("SetTexture 0 " + device_.LabelOf(flat.get())) + Count("SetTexture 1 " + device_.LabelOf(flat.get())),
              1u)
        << "the image was not taken over";
    again->EndPass();
    again->End();
}

TEST_F(EffectTest, FailuresNameTheFileAndThePass) {
    std::string error;
    EXPECT_EQ(Effect::Load(device_, "absent.fx", error, Files({})), nullptr);
    EXPECT_THAT(error, HasSubstr("absent.fx: cannot open"));
    device_.failProgramsContaining = "texture(image";
    EXPECT_EQ(Effect::Load(device_, "test.fx", error, Files({{"test.fx", kTwoPasses}})), nullptr);
    EXPECT_THAT(error, HasSubstr("test.fx:21: pass \"glow\" does not compile:"));
}

TEST(EffectGlTest, CompilerMessagesNameTheIncludedFileAndItsLine) {
    testing::HeadlessGl gl(4, 4);
    ASSERT_TRUE(gl.ok()) << gl.error;
    GlDevice* device = gl.device.get();
    std::string error;
    const auto files = Files({{"fx/main.fx", "@technique T\n@vertex vs\n@include \"lib.glsl\"\n"
                                             "void main() { gl_Position = Helper(); }\n"
                                             "@fragment fs\nout vec4 outColor;\nvoid main() { outColor = vec4(1.0); }\n"
                                             "@pass p\nVertex = vs\nFragment = fs\n"},
                              {"fx/lib.glsl", "// helpers\n\nvec4 Helper() { return vec4(missingName); }\n"}});
    EXPECT_EQ(Effect::Load(*device, "fx/main.fx", error, files), nullptr);
    EXPECT_THAT(error, HasSubstr("fx/main.fx:8: pass \"p\" does not compile:"));
    EXPECT_THAT(error, HasSubstr("fx/lib.glsl:3:"));
    EXPECT_THAT(error, HasSubstr("missingName"));
}

}  // namespace
}  // namespace jolp
