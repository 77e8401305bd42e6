// overlay_font.h - the small bitmap font the developer overlay writes with:
// a coverage atlas of the printable ASCII characters 32..126 and each one's
// metrics, baked at build time by tools/bake_font from a TrueType file into
// a generated source in the build tree (generated/overlay_font.cpp, compiled
// into jolp).
//
// The data is constant and lives in the program image; nothing here owns or
// allocates anything. Positions are in pixels with y growing downwards, as
// on the screen: a glyph drawn with its pen at (x, baseline) covers
// [x + xoff, x + xoff + (x1 - x0)) x [baseline + yoff, baseline + yoff +
// (y1 - y0)), and the pen then moves right by xadvance.
#pragma once

#include <cstdint>

namespace jolp {

struct BakedGlyph {
    uint16_t x0, y0, x1, y1;  // its rectangle in the atlas; right and bottom exclusive
    float xoff, yoff;         // top-left of that rectangle from the pen on the baseline
    float xadvance;
};

struct BakedFont {
    static constexpr uint32_t kFirstChar = 32;
    static constexpr uint32_t kCharCount = 95;  // 32..126

    uint32_t atlasWidth;
    uint32_t atlasHeight;
    float pixelHeight;  // the height it was baked at
    float ascent;       // baseline below the top of a line, whole pixels
    float descent;      // lowest point below the baseline, negative, whole pixels
    float lineHeight;   // from one baseline to the next, whole pixels
    const uint8_t* atlas;       // atlasWidth * atlasHeight coverage bytes, top row first
    const BakedGlyph* glyphs;   // kCharCount of them, from kFirstChar on

    static bool Printable(char c) { return c >= 32 && c <= 126; }
    // The glyph of a printable character; any other character gets '?'.
    const BakedGlyph& Glyph(char c) const { return glyphs[(Printable(c) ? c : '?') - kFirstChar]; }
};

// The one baked font.
const BakedFont& OverlayFont();

}  // namespace jolp
