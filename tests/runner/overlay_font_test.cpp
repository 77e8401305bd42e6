// The font baked by the build: every printable character has a glyph that
// fits the atlas and the line, the atlas holds those glyphs and nothing
// else, and the line metrics hold the glyphs.
#include "runner/overlay_font.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace jolp {
namespace {

TEST(OverlayFontTest, EveryPrintableCharacterHasAGlyphThatFitsTheAtlasAndTheLine) {
    const BakedFont& font = OverlayFont();
    ASSERT_GT(font.atlasWidth, 0u);
    ASSERT_GT(font.atlasHeight, 0u);
    EXPECT_GE(font.pixelHeight, 12.0f);
    EXPECT_LE(font.pixelHeight, 18.0f);
    EXPECT_GT(font.ascent, 0.0f);
    EXPECT_LT(font.descent, 0.0f);
    EXPECT_GE(font.lineHeight, font.ascent - font.descent);
    // A monospaced font: one advance for all.
    const float advance = font.Glyph(' ').xadvance;
    EXPECT_GE(advance, 5.0f);
    EXPECT_LE(advance, 12.0f);
    for (int c = 33; c <= 126; ++c) {
        SCOPED_TRACE(static_cast<char>(c));
        const BakedGlyph& g = font.Glyph(static_cast<char>(c));
        EXPECT_LT(g.x0, g.x1);
        EXPECT_LT(g.y0, g.y1);
        EXPECT_LE(g.x1, font.atlasWidth);
        EXPECT_LE(g.y1, font.atlasHeight);
        EXPECT_FLOAT_EQ(g.xadvance, advance);
        // Within the line (a pixel of slack for the rounding of the metrics).
        EXPECT_GE(g.yoff, -font.ascent - 1.0f);
        EXPECT_LE(g.yoff + static_cast<float>(g.y1 - g.y0), -font.descent + 1.0f);
        EXPECT_GE(g.xoff, -1.0f);
        EXPECT_LE(g.xoff + static_cast<float>(g.x1 - g.x0), advance + 2.0f);
    }
    // Anything else is drawn as '?'.
    EXPECT_EQ(&font.Glyph('\t'), &font.Glyph('?'));
    EXPECT_EQ(&font.Glyph(static_cast<char>(0xE9)), &font.Glyph('?'));
}

TEST(OverlayFontTest, TheAtlasHoldsTheGlyphsAndNothingElse) {
    const BakedFont& font = OverlayFont();
    std::vector<bool> inGlyph(static_cast<size_t>(font.atlasWidth) * font.atlasHeight, false);
    for (int c = 33; c <= 126; ++c) {
        const BakedGlyph& g = font.Glyph(static_cast<char>(c));
        int lit = 0;
        for (uint32_t y = g.y0; y < g.y1; ++y) {
            for (uint32_t x = g.x0; x < g.x1; ++x) {
                inGlyph[y * font.atlasWidth + x] = true;
                if (font.atlas[y * font.atlasWidth + x] > 0) ++lit;
            }
        }
        EXPECT_GT(lit, 0) << "glyph '" << static_cast<char>(c) << "' is blank";
    }
    size_t stray = 0;
    for (size_t i = 0; i < inGlyph.size(); ++i) {
        if (!inGlyph[i] && font.atlas[i] != 0) ++stray;
    }
    EXPECT_EQ(stray, 0u) << "covered texels outside every glyph's rectangle";
}

}  // namespace
}  // namespace jolp
