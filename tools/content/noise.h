// noise.h - deterministic noise for the procedural textures: integer hashes,
// tileable Perlin fractal noise (stb_perlin with wrapping), and tileable
// cellular noise for stones. Same inputs, same values, on every run.
#pragma once

#include <cstdint>

namespace tarvel::content {

// A well-mixed 32-bit hash of three integers.
uint32_t Hash(int32_t x, int32_t y, int32_t seed);
// The hash as a float in [0, 1).
float HashUnit(int32_t x, int32_t y, int32_t seed);

// Fractal Perlin noise at (x, y) in [0, 1) x [0, 1), tiling with period 1:
// `period` cells across at the first octave (a power of two up to 256),
// doubling per octave. Roughly in [-1, 1].
float TileFbm(float x, float y, int period, int octaves, int seed, float gain = 0.5f);

// Cellular noise over a tileable grid of `cells` x `cells` jittered
// points: distance to the nearest point (f1) and to the second nearest
// (f2), in cell units, and the nearest point's cell id.
struct CellSample {
    float f1 = 0.0f, f2 = 0.0f;
    uint32_t id = 0;
};
CellSample TileCells(float x, float y, int cells, int seed, float jitter = 0.8f);

float Smoothstep(float edge0, float edge1, float x);

}  // namespace tarvel::content
