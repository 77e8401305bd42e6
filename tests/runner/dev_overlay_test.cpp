// The developer overlay on the real OpenGL device, headless: where the
// panel, the glyphs and the graph's bars land in the back buffer, that the
// render states are as they were afterwards, and what happens to text that
// does not fit.
#include "runner/dev_overlay.h"

#include "runner/overlay_font.h"
#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace jolp {
namespace {

constexpr uint32_t kWidth = 320;
constexpr uint32_t kHeight = 200;
constexpr uint8_t kLit = 8;  // brighter than this over black counts as drawn

class DevOverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_.ok()) << gl_.error;
        std::string error;
        overlay_ = DevOverlay::Create(*gl_.device, error);
        ASSERT_NE(overlay_, nullptr) << error;
    }

    // Clears the back buffer to argb, draws the overlay over it and reads
    // it back (RGB, top row first).
    std::vector<uint8_t> Picture(uint32_t argb = 0xFF000000u) {
        GfxDevice& device = *gl_.device;
        device.BeginScene();
        device.SetViewport(Viewport{0, 0, kWidth, kHeight, 0.0f, 1.0f});
        device.Clear(kClearTarget | kClearZBuffer, argb, 1.0f, 0);
        overlay_->Draw(kWidth, kHeight);
        device.EndScene();
        std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
        EXPECT_TRUE(device.ReadBackBuffer(rgb.data(), rgb.size()));
        return rgb;
    }

    static uint8_t Brightness(const std::vector<uint8_t>& rgb, int32_t x, int32_t y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 3];
        return std::max({p[0], p[1], p[2]});
    }
    static bool Inside(const ScissorRect& r, int32_t x, int32_t y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }
    // Lit pixels over black in [top, bottom) of every column.
    static int LitIn(const std::vector<uint8_t>& rgb, int32_t top, int32_t bottom) {
        int lit = 0;
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t x = 0; x < static_cast<int32_t>(kWidth); ++x) lit += Brightness(rgb, x, y) > kLit;
        }
        return lit;
    }

    testing::HeadlessGl gl_{kWidth, kHeight};
    std::unique_ptr<DevOverlay> overlay_;
};

TEST_F(DevOverlayTest, DrawsOnlyInsideItsPanelWhichDarkensThePicture) {
    overlay_->SetText("frame 1234  t=56.78 s\nshot: columns\n\nfps 59.9");
    for (int i = 0; i < 300; ++i) overlay_->AddFrameTime(static_cast<float>(i % 45));
    const ScissorRect panel = overlay_->PanelRect();
    EXPECT_EQ(panel.left, DevOverlay::kMargin);
    EXPECT_EQ(panel.top, DevOverlay::kMargin);
    // Four lines of text, then the graph.
    const int32_t lineHeight = static_cast<int32_t>(OverlayFont().lineHeight);
    EXPECT_EQ(panel.bottom - panel.top, 2 * DevOverlay::kPadding + 4 * lineHeight + DevOverlay::kGap +
                                            DevOverlay::kGraphHeight);
    EXPECT_EQ(panel.right - panel.left,
              2 * DevOverlay::kPadding + static_cast<int32_t>(DevOverlay::kGraphSamples));

    const std::vector<uint8_t> overBlack = Picture(0xFF000000u);
    int lit = 0;
    int strays = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(kHeight); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(kWidth); ++x) {
            if (Brightness(overBlack, x, y) <= kLit) continue;
            ++lit;
            if (!Inside(panel, x, y)) ++strays;
        }
    }
    EXPECT_GT(lit, 200);
    EXPECT_EQ(strays, 0);

    // Over white: the panel's empty corners are dark, everything outside
    // stays white.
    const std::vector<uint8_t> overWhite = Picture(0xFFFFFFFFu);
    EXPECT_LT(Brightness(overWhite, panel.left, panel.top), 128);
    EXPECT_LT(Brightness(overWhite, panel.right - 1, panel.bottom - 1), 128);
    EXPECT_EQ(Brightness(overWhite, panel.left - 1, panel.top), 255);
    EXPECT_EQ(Brightness(overWhite, panel.right, panel.bottom - 1), 255);
    EXPECT_EQ(Brightness(overWhite, panel.left, panel.bottom), 255);
    EXPECT_EQ(Brightness(overWhite, kWidth - 1, kHeight - 1), 255);
}

TEST_F(DevOverlayTest, GlyphsLandWhereTheMetricsPutThem) {
    const BakedFont& font = OverlayFont();
    const std::string text = "I.j";
    overlay_->SetText(text);
    const std::vector<uint8_t> rgb = Picture();
    const ScissorRect graph = overlay_->GraphRect();

    // Every pixel of the text band is the atlas's coverage of the glyph
    // that covers it, times the text's brightness, or black.
    std::vector<int> expected(static_cast<size_t>(kWidth) * kHeight, 0);
    int32_t pen = overlay_->TextLeft();
    const int32_t baseline = overlay_->FirstBaseline();
    for (const char c : text) {
        const BakedGlyph& g = font.Glyph(c);
        const int32_t left = pen + static_cast<int32_t>(std::lround(g.xoff));
        const int32_t top = baseline + static_cast<int32_t>(std::lround(g.yoff));
        for (int32_t y = 0; y < g.y1 - g.y0; ++y) {
            for (int32_t x = 0; x < g.x1 - g.x0; ++x) {
                expected[static_cast<size_t>(top + y) * kWidth + static_cast<size_t>(left + x)] =
                    font.atlas[(g.y0 + y) * font.atlasWidth + g.x0 + x];
            }
        }
        pen += static_cast<int32_t>(std::lround(g.xadvance));
    }
    int wrong = 0;
    int lit[3] = {0, 0, 0};  // per character cell
    const int32_t advance = static_cast<int32_t>(std::lround(font.Glyph('I').xadvance));
    for (int32_t y = 0; y < graph.top; ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(kWidth); ++x) {
            const int want = expected[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] * 0xE8 / 255;
            const int got = Brightness(rgb, x, y);
            if (std::abs(got - want) > 3) ++wrong;
            const int32_t cell = (x - overlay_->TextLeft()) / advance;
            if (got > kLit && cell >= 0 && cell < 3) ++lit[cell];
        }
    }
    EXPECT_EQ(wrong, 0);
    // Tall 'I', small '.', and 'j' reaching below the baseline.
    EXPECT_GT(lit[0], 2 * lit[1]);
    EXPECT_GT(lit[1], 0);
    EXPECT_GT(lit[2], lit[1]);
    int belowBaseline = 0;
    for (int32_t y = baseline; y < graph.top; ++y) {
        for (int32_t x = overlay_->TextLeft() + 2 * advance; x < overlay_->TextLeft() + 3 * advance; ++x) {
            belowBaseline += Brightness(rgb, x, y) > kLit;
        }
    }
    EXPECT_GT(belowBaseline, 0);
}

TEST_F(DevOverlayTest, EmptyTextDrawsThePanelAndTheGraphsLinesOnly) {
    overlay_->SetText("");
    const ScissorRect graph = overlay_->GraphRect();
    EXPECT_EQ(graph.top, DevOverlay::kMargin + DevOverlay::kPadding);
    const std::vector<uint8_t> rgb = Picture();
    // Over black only the two reference lines show: full rows of the graph.
    std::vector<int32_t> litRows;
    for (int32_t y = 0; y < static_cast<int32_t>(kHeight); ++y) {
        int lit = 0;
        for (int32_t x = 0; x < static_cast<int32_t>(kWidth); ++x) lit += Brightness(rgb, x, y) > kLit;
        if (lit > 0) {
            EXPECT_EQ(lit, graph.right - graph.left) << "row " << y;
            litRows.push_back(y);
        }
    }
    ASSERT_EQ(litRows.size(), 2u);
    EXPECT_GT(litRows[0], graph.top);
    EXPECT_LT(litRows[1], graph.bottom);

    // A line break alone makes two empty lines: a taller panel, nothing more lit.
    overlay_->SetText("\n");
    EXPECT_EQ(overlay_->GraphRect().top, graph.top + 2 * static_cast<int32_t>(OverlayFont().lineHeight) +
                                             DevOverlay::kGap);
    EXPECT_EQ(LitIn(Picture(), 0, static_cast<int32_t>(kHeight)), 2 * (graph.right - graph.left));
}

TEST_F(DevOverlayTest, BarsGrowWithFrameTimeNewestOnTheRight) {
    overlay_->SetText("graph");
    const ScissorRect graph = overlay_->GraphRect();
    const std::vector<uint8_t> empty = Picture();
    // The bar in a column: the pixels that differ from the empty graph.
    auto barHeight = [&](const std::vector<uint8_t>& rgb, int32_t x) {
        int height = 0;
        for (int32_t y = graph.top; y < graph.bottom; ++y) {
            height += Brightness(rgb, x, y) != Brightness(empty, x, y);
        }
        return height;
    };
    // A few frames: bars against the right edge, empty columns before them.
    for (int i = 0; i < 3; ++i) overlay_->AddFrameTime(30.0f);
    const std::vector<uint8_t> few = Picture();
    for (int32_t x = graph.right - 3; x < graph.right; ++x) EXPECT_GT(barHeight(few, x), 10) << "column " << x;
    EXPECT_EQ(barHeight(few, graph.right - 4), 0);
    EXPECT_EQ(barHeight(few, graph.left), 0);

    std::vector<int> heights;
    for (const float ms : {5.0f, 10.0f, 20.0f, 30.0f, 45.0f, 100.0f}) {
        for (size_t i = 0; i < DevOverlay::kGraphSamples; ++i) overlay_->AddFrameTime(ms);
        const std::vector<uint8_t> rgb = Picture();
        heights.push_back(barHeight(rgb, graph.right - 1));
        // Every column alike.
        EXPECT_EQ(barHeight(rgb, graph.left), heights.back()) << ms << " ms";
    }
    for (size_t i = 1; i < heights.size(); ++i) EXPECT_GT(heights[i], heights[i - 1]);
    EXPECT_NEAR(heights[1], DevOverlay::kGraphHeight * 10 / 50, 1);
    EXPECT_EQ(heights.back(), DevOverlay::kGraphHeight);  // beyond full scale: clamped

    // One slow frame after quick ones: the rightmost bar alone is tall.
    for (size_t i = 0; i < DevOverlay::kGraphSamples; ++i) overlay_->AddFrameTime(4.0f);
    overlay_->AddFrameTime(40.0f);
    const std::vector<uint8_t> rgb = Picture();
    EXPECT_GT(barHeight(rgb, graph.right - 1), 3 * barHeight(rgb, graph.right - 2));
    EXPECT_EQ(barHeight(rgb, graph.right - 2), barHeight(rgb, graph.left));
    // A bar is never drawn outside the graph.
    EXPECT_EQ(LitIn(rgb, graph.bottom, static_cast<int32_t>(kHeight)), 0);
}

TEST_F(DevOverlayTest, RenderStatesAreAsTheyWereAfterDraw) {
    GfxDevice& device = *gl_.device;
    overlay_->SetText("states");
    overlay_->AddFrameTime(12.0f);
    using Setting = std::vector<std::pair<RenderState, uint32_t>>;
    const Setting defaults = {{RenderState::ZEnable, 1},       {RenderState::ZWriteEnable, 1},
                              {RenderState::SrcBlend, kBlendOne}, {RenderState::DestBlend, kBlendZero},
                              {RenderState::CullMode, kCullCCW}, {RenderState::ZFunc, kCmpLessEqual},
                              {RenderState::AlphaBlendEnable, 0}, {RenderState::ScissorTestEnable, 0}};
    const Setting odd = {{RenderState::ZEnable, 1},           {RenderState::ZWriteEnable, 0},
                         {RenderState::SrcBlend, kBlendDestColor}, {RenderState::DestBlend, kBlendOne},
                         {RenderState::CullMode, kCullCW},     {RenderState::ZFunc, kCmpGreater},
                         {RenderState::AlphaBlendEnable, 1},   {RenderState::ScissorTestEnable, 1}};
    for (const Setting& setting : {defaults, odd}) {
        for (const auto& [state, value] : setting) device.SetRenderState(state, value);
        device.BeginScene();
        overlay_->Draw(kWidth, kHeight);
        device.EndScene();
        for (const auto& [state, value] : setting) {
            EXPECT_EQ(device.GetRenderState(state), value) << "state " << static_cast<uint32_t>(state);
        }
    }
    for (const auto& [state, value] : defaults) device.SetRenderState(state, value);

    // With the scissor test on and a small rectangle, the overlay still
    // draws whole, and the rectangle still clips the next clear.
    device.SetRenderState(RenderState::ScissorTestEnable, 1);
    device.SetScissorRect(ScissorRect{300, 180, 310, 190});
    device.BeginScene();
    device.SetRenderState(RenderState::ScissorTestEnable, 0);
    device.Clear(kClearTarget, 0xFF000000u, 1.0f, 0);
    device.SetRenderState(RenderState::ScissorTestEnable, 1);
    overlay_->Draw(kWidth, kHeight);
    device.Clear(kClearTarget, 0xFFFFFFFFu, 1.0f, 0);
    device.EndScene();
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    ASSERT_TRUE(device.ReadBackBuffer(rgb.data(), rgb.size()));
    EXPECT_GT(LitIn(rgb, 0, overlay_->PanelRect().bottom), 100);
    EXPECT_EQ(LitIn(rgb, overlay_->PanelRect().bottom, static_cast<int32_t>(kHeight)), 100);
    device.SetRenderState(RenderState::ScissorTestEnable, 0);
}

TEST_F(DevOverlayTest, TextBeyondTheBufferIsCutAndOddCharactersShowAsQuestionMarks) {
    std::string longText;
    for (int line = 0; line < 200; ++line) longText += std::string(60, static_cast<char>('A' + line % 26)) + "\n";
    ASSERT_GT(longText.size(), DevOverlay::kMaxChars);
    overlay_->SetText(longText);
    EXPECT_EQ(overlay_->Text(), std::string_view(longText).substr(0, DevOverlay::kMaxChars));
    // A panel taller than the picture still draws.
    EXPECT_GT(overlay_->PanelRect().bottom, static_cast<int32_t>(kHeight));
    EXPECT_GT(LitIn(Picture(), 0, static_cast<int32_t>(kHeight)), 1000);

    overlay_->SetText(std::string(DevOverlay::kMaxChars * 3, 'W'));
    EXPECT_EQ(overlay_->Text().size(), DevOverlay::kMaxChars);
    EXPECT_GT(LitIn(Picture(), 0, static_cast<int32_t>(kHeight)), 1000);

    overlay_->SetText("a\tb\x01\xC3\xA9");
    EXPECT_EQ(overlay_->Text(), "a?b???");

    // Nothing to draw into: nothing happens.
    overlay_->Draw(0, 0);
}

}  // namespace
}  // namespace jolp
