#include "tools/content/valley.h"

#include "tools/content/noise.h"

#include <cmath>

namespace tarvel::content {

float TerrainHeight(float x, float z) {
    // Rolling floor between 0.8 and 2.2 m.
    float h = 1.5f + 0.35f * std::sin(x * 0.045f + 1.3f) * std::cos(z * 0.038f - 0.4f) +
              0.2f * std::sin(x * 0.13f + z * 0.09f) + 0.12f * std::sin(x * 0.31f - z * 0.27f + 2.0f);
    // The rim: ridges round a valley centred a little west of the origin.
    const float rx = (x + 5.0f) / 1.1f, rz = z;
    const float r = std::sqrt(rx * rx + rz * rz);
    const float angle = std::atan2(rz, rx);
    const float ridges = 0.75f + 0.25f * std::sin(angle * 5.0f + 0.7f) + 0.12f * std::sin(angle * 13.0f + 2.1f);
    h += 62.0f * ridges * Smoothstep(150.0f, 225.0f, r) + 6.0f * Smoothstep(100.0f, 160.0f, r);
    // Crags: sharp-crested noise on the upper slopes, so that the ridges
    // break against the sky in knuckles and notches instead of one smooth
    // line, and the slopes below them fall in ribs.
    const float u = (x + kGroundHalf) / (2.0f * kGroundHalf), w = (z + kGroundHalf) / (2.0f * kGroundHalf);
    const float crest = 1.0f - std::abs(TileFbm(u, w, 16, 3, 7));
    h += 22.0f * crest * crest * Smoothstep(135.0f, 205.0f, r);
    // The lake's bowl.
    const float lx = x - kLakeCentre.x, lz = z - kLakeCentre.z;
    const float lake = 1.0f - Smoothstep(kLakeRadius - 10.0f, kLakeRadius + 6.0f, std::sqrt(lx * lx + lz * lz));
    h = h + (-3.5f - h) * lake;
    // The terrace of the ruins, flat within 24 m of the court's centre.
    const float cx = x - kCourtCentre.x, cz = z - kCourtCentre.z;
    const float terrace = 1.0f - Smoothstep(24.0f, 36.0f, std::sqrt(cx * cx + cz * cz));
    h = h + (kTerraceHeight - h) * terrace;
    return h;
}

}  // namespace tarvel::content
