// Effects reloaded between frames, on the real GL device, from a copy of
// shaders/ in a temporary folder that the cases edit: an unchanged file
// draws the same picture, an edited one (found by the file watcher, as the
// program finds it) changes it, a broken one is refused with the compiler's
// message and leaves the picture as it was, and so is one that lacks a
// pass the renderer draws with. The background and the shapes' effects
// are reloaded with the rest.
#include "tests/render/picture_scene.h"

#include "runner/file_watcher.h"
#include "render/material.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace jolp {
namespace {

using testing::AddBoxMesh;
using testing::AddFloorMesh;
using testing::AddPlacement;
using testing::AddStillLight;
using testing::LookAt;
using testing::Picture;
using testing::PictureRig;
using testing::SurfaceParameters;

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Replaces the one occurrence of what in text; fails the test when there
// is none.
std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << "no \"" << what << "\"";
    if (at != std::string::npos) text.replace(at, what.size(), with);
    return text;
}

class EffectReload : public ::testing::Test {
protected:
    void SetUp() override {
        if (!rig_.ok()) GTEST_SKIP() << rig_.gl.error;
        root_ = rig_.dir.Path() / "demo";
        std::filesystem::create_directories(root_);
        std::filesystem::copy(std::filesystem::path(TARVEL_SOURCE_DIR) / "shaders", root_ / "shaders");

        // A lit grey floor and a box that shadows it, through Lambert-Blinn,
        // and a grey square added onto the floor, through the additive effect.
        jolp::SceneFileBuilder b;
        const int32_t surface =
            b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters(testing::kGreyTex));
        const int32_t glow = b.AddLeafMaterial("glow", kAdditiveShaderName, {{"diffuseTex", testing::kGreyTex}});
        b.AddObject("floor", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, 0, 0}));
        b.AddObject("box", AddBoxMesh(b, {0.5f, 0.5f, 0.5f}), surface, AddPlacement(b, {2, 2, 0}));
        b.AddObject("glow", AddFloorMesh(b, 2.0f), glow, AddPlacement(b, {-4, 0.5f, 2}));
        AddStillLight(b, "Omni_shadow01", {0, 4, 0}, {1, 1, 1}, 20.0f);
        // Behind it all a gradient, and over it a glowing disc.
        rig_.files.backgroundEffect = kBackgroundEffectPath;
        rig_.files.shapesEffect = kShapesEffectPath;
        std::string error;
        ASSERT_TRUE(rig_.Start(root_.string(), error)) << error;
        ASSERT_TRUE(rig_.Load(b, error)) << error;
        rig_.renderSystem->camera = LookAt({0, 12, 10}, {0, 0, 0}, 0.9f, 16.0f / 9.0f);
    }

    Picture Draw() {
        rig_.renderSystem->background = {{0.1f, 0.2f, 0.4f, 1.0f}, {0.4f, 0.2f, 0.1f, 1.0f}};
        EXPECT_TRUE(rig_.renderSystem->SubmitShape(
            Shape2D{{0.8f, 0.2f, 0.0f}, {0.1f, 0.1f}, {0.5f, 0.5f, 0.0f, 1.0f}, 0.2f, 0.5f}));
        rig_.Frame(0.0f);
        return rig_.Read();
    }

    // ReloadEffects from the folder the effects were loaded from, as the
    // program does between frames.
    bool Reload(std::string& messages) {
        const std::filesystem::path before = std::filesystem::current_path();
        std::filesystem::current_path(root_);
        const bool ok = rig_.renderSystem->ReloadEffects(messages);
        std::filesystem::current_path(before);
        return ok;
    }

    std::filesystem::path Shader(const char* name) const { return root_ / "shaders" / name; }

    PictureRig rig_{64, 36};
    std::filesystem::path root_;
};

TEST_F(EffectReload, UnchangedFilesDrawTheSamePicture) {
    Draw();
    const Picture before = Draw();
    ASSERT_FALSE(before.rgb.empty());
    RenderSystem& rs = *rig_.renderSystem;
    const jolp::Effect* oldMaster = rs.masterEffect.get();
    const jolp::Effect* oldSurface = rs.lambertBlinnShader->GetEffect();
    const jolp::Effect* oldBackground = rs.backgroundEffect.get();
    const jolp::Effect* oldShapes = rs.ShapesEffect();

    std::string messages = "left over";
    ASSERT_TRUE(Reload(messages)) << messages;
    EXPECT_EQ(messages, "");
    EXPECT_NE(rs.masterEffect.get(), oldMaster) << "the master effect was not reloaded";
    EXPECT_NE(rs.backgroundEffect.get(), oldBackground) << "the background was not reloaded";
    EXPECT_NE(rs.ShapesEffect(), oldShapes) << "the shapes effect was not reloaded";
    EXPECT_NE(rs.lambertBlinnShader->GetEffect(), oldSurface) << "the wrapper's effect was not reloaded";
    const Picture after = Draw();
    EXPECT_EQ(after.rgb, before.rgb);
    testing::KeepPictureOnFailure(after, "effect_reload", "after");
}

TEST_F(EffectReload, PassesAndParametersAreFoundAgainWhenTheirOrderChanges) {
    // The ambient pass moved to the end of the file: every pass index of the
    // wrapper and every parameter handle (numbered in pass order) shifts.
    Draw();
    const Picture before = Draw();
    const std::string text = ReadText(Shader("lambertblinn.fx"));
    const std::string ambient = "@pass ambient\nVertex = surfaceVS\nFragment = ambientFS\n";
    WriteText(Shader("lambertblinn.fx"), Replaced(text, ambient, "") + "\n" + ambient);

    std::string messages;
    ASSERT_TRUE(Reload(messages)) << messages;
    EXPECT_EQ(rig_.renderSystem->lambertBlinnShader->AmbientPass(), 5);
    EXPECT_EQ(rig_.renderSystem->lambertBlinnShader->ShadowDepthPass(), 0);
    const Picture after = Draw();
    EXPECT_EQ(after.rgb, before.rgb);
    testing::KeepPictureOnFailure(after, "effect_reload", "after");
}

TEST_F(EffectReload, AnEditedFileFoundByTheWatcherChangesThePicture) {
    std::string error;
    auto watcher = jolp::FileWatcher::Open((root_ / "shaders").string(),
                                           jolp::FileWatcher::Options{{".fx", ".glsl"}, std::chrono::milliseconds(20)},
                                           error);
    ASSERT_NE(watcher, nullptr) << error;
    Draw();
    const Picture before = Draw();
    EXPECT_FALSE(watcher->Poll());

    // The composite at half brightness, and the additive square red only.
    WriteText(Shader("master.fx"), Replaced(ReadText(Shader("master.fx")), "clamp(fade, 0.0, 1.0)",
                                            "clamp(fade, 0.0, 1.0) * 0.5"));
    WriteText(Shader("additive.fx"), Replaced(ReadText(Shader("additive.fx")), "outColor = vec4(texel.rgb",
                                              "outColor = vec4(vec3(1.0, 0.0, 0.0) * texel.rgb"));
    bool changed = false;
    for (int i = 0; i < 500 && !changed; ++i) {
        changed = watcher->Poll();
        if (!changed) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(changed) << "the watcher saw no change";
    EXPECT_EQ(watcher->Changed().size(), 2u);
    std::string messages;
    ASSERT_TRUE(Reload(messages)) << messages;
    const Picture after = Draw();
    ASSERT_EQ(after.rgb.size(), before.rgb.size());

    // Halved everywhere; where the square was, its green and blue are gone
    // too, so those pixels drop further in green than in red.
    int squarePixels = 0;
    for (size_t i = 0; i < before.rgb.size(); i += 3) {
        const int r0 = before.rgb[i], g0 = before.rgb[i + 1];
        const int r1 = after.rgb[i], g1 = after.rgb[i + 1];
        if (r0 > 8) {
            EXPECT_NEAR(r1, r0 / 2.0, 0.1 * r0 + 1.0) << "pixel " << i / 3;
        }
        if (g1 < g0 / 2 - 8) ++squarePixels;
    }
    EXPECT_GT(squarePixels, 10) << "the square did not turn red";
    testing::KeepPictureOnFailure(after, "effect_reload", "after");
}

TEST_F(EffectReload, ABrokenFileKeepsTheLastGoodVersionUntilItIsFixed) {
    Draw();
    const Picture before = Draw();
    const std::string good = ReadText(Shader("lambertblinn.fx"));
    const std::string broken = Replaced(good, "#define LIGHT_SHADOW\n", "#define LIGHT_SHADOW\nthis is not glsl;\n");
    WriteText(Shader("lambertblinn.fx"), broken);
    const size_t line = static_cast<size_t>(std::count(broken.begin(), broken.begin() + broken.find("this is"), '\n')) + 1;

    std::string messages;
    EXPECT_FALSE(Reload(messages));
    EXPECT_NE(messages.find("shaders/lambertblinn.fx"), std::string::npos) << messages;
    EXPECT_NE(messages.find("lambertblinn.fx:" + std::to_string(line)), std::string::npos)
        << "no compiler line at " << line << " in:\n" << messages;
    EXPECT_EQ(messages.find("master.fx"), std::string::npos) << "the good files failed too:\n" << messages;
    EXPECT_NE(rig_.renderSystem->lambertBlinnShader->diffuseShadowPass, -1);
    const Picture kept = Draw();
    EXPECT_EQ(kept.rgb, before.rgb) << "the broken file changed the picture";

    WriteText(Shader("lambertblinn.fx"), good);
    EXPECT_TRUE(Reload(messages)) << messages;
    EXPECT_EQ(messages, "");
    EXPECT_EQ(Draw().rgb, before.rgb);
}

TEST_F(EffectReload, AFileLackingAPassKeepsTheLastGoodVersion) {
    Draw();
    const Picture before = Draw();
    RenderSystem& rs = *rig_.renderSystem;
    const jolp::Effect* oldMaster = rs.masterEffect.get();
    const jolp::Effect* oldAdditive = rs.additiveShader->GetEffect();
    const jolp::Effect* oldSurface = rs.lambertBlinnShader->GetEffect();
    const int32_t diffuseShadow = rs.lambertBlinnShader->diffuseShadowPass;
    const std::string master = ReadText(Shader("master.fx"));
    const std::string additive = ReadText(Shader("additive.fx"));
    const std::string surface = ReadText(Shader("lambertblinn.fx"));
    const std::string shapes = ReadText(Shader("shapes.fx"));
    const jolp::Effect* oldShapes = rs.ShapesEffect();
    WriteText(Shader("master.fx"), Replaced(master, "@pass composite\n", "@pass compose\n"));
    WriteText(Shader("shapes.fx"), Replaced(shapes, "@pass pictureShapes\n", "@pass flatShapes\n"));
    WriteText(Shader("additive.fx"), Replaced(additive, "@pass additive\n", "@pass glow\n"));
    WriteText(Shader("lambertblinn.fx"), Replaced(surface, "@pass diffuseShadow\n", "@pass diffuseShadowed\n"));

    std::string messages;
    EXPECT_FALSE(Reload(messages));
    EXPECT_EQ(messages, "shaders/master.fx: no pass \"composite\"\n\n"
                        "shaders/shapes.fx: no pass \"pictureShapes\"\n\n"
                        "shaders/lambertblinn.fx: no pass \"diffuseShadow\"\n\n"
                        "shaders/additive.fx: no pass \"additive\"");
    EXPECT_EQ(rs.masterEffect.get(), oldMaster);
    EXPECT_EQ(rs.ShapesEffect(), oldShapes);
    EXPECT_EQ(rs.additiveShader->GetEffect(), oldAdditive);
    EXPECT_EQ(rs.lambertBlinnShader->GetEffect(), oldSurface);
    EXPECT_EQ(rs.lambertBlinnShader->diffuseShadowPass, diffuseShadow);
    EXPECT_NE(rs.parallaxedLambertBlinnShader->GetEffect(), nullptr);
    const Picture kept = Draw();
    EXPECT_EQ(kept.rgb, before.rgb) << "a file lacking a pass changed the picture";
    testing::KeepPictureOnFailure(kept, "effect_reload", "kept");

    // Put back, all four load again.
    WriteText(Shader("master.fx"), master);
    WriteText(Shader("additive.fx"), additive);
    WriteText(Shader("lambertblinn.fx"), surface);
    WriteText(Shader("shapes.fx"), shapes);
    ASSERT_TRUE(Reload(messages)) << messages;
    EXPECT_NE(rs.masterEffect.get(), oldMaster);
    EXPECT_EQ(Draw().rgb, before.rgb);
}

}  // namespace
}  // namespace jolp
