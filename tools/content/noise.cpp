#include "tools/content/noise.h"

#include <stb/stb_perlin.h>

#include <cmath>

namespace tarvel::content {

uint32_t Hash(int32_t x, int32_t y, int32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(seed) * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

float HashUnit(int32_t x, int32_t y, int32_t seed) {
    return static_cast<float>(Hash(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

float TileFbm(float x, float y, int period, int octaves, int seed, float gain) {
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    int p = period;
    for (int o = 0; o < octaves && p <= 256; ++o) {
        sum += amplitude * stb_perlin_noise3_seed(x * static_cast<float>(p), y * static_cast<float>(p),
                                                  static_cast<float>(seed % 97) * 1.37f, p % 256, p % 256, 0,
                                                  seed + o);
        norm += amplitude;
        amplitude *= gain;
        p *= 2;
    }
    return sum / norm * 1.6f;
}

CellSample TileCells(float x, float y, int cells, int seed, float jitter) {
    const float fx = x * static_cast<float>(cells), fy = y * static_cast<float>(cells);
    const int cx = static_cast<int>(std::floor(fx)), cy = static_cast<int>(std::floor(fy));
    CellSample best{1e9f, 1e9f, 0};
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            const int gx = cx + i, gy = cy + j;
            const int wx = ((gx % cells) + cells) % cells, wy = ((gy % cells) + cells) % cells;
            const float px = static_cast<float>(gx) + 0.5f + (HashUnit(wx, wy, seed) - 0.5f) * jitter;
            const float py = static_cast<float>(gy) + 0.5f + (HashUnit(wx, wy, seed + 1) - 0.5f) * jitter;
            const float d = std::sqrt((px - fx) * (px - fx) + (py - fy) * (py - fy));
            if (d < best.f1) {
                best.f2 = best.f1;
                best.f1 = d;
                best.id = Hash(wx, wy, seed + 2);
            } else if (d < best.f2) {
                best.f2 = d;
            }
        }
    }
    return best;
}

float Smoothstep(float edge0, float edge1, float x) {
    float t = (x - edge0) / (edge1 - edge0);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    return t * t * (3.0f - 2.0f * t);
}

}  // namespace tarvel::content
