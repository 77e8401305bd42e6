#include "tools/content/sky.h"

#include "tools/content/noise.h"

#include <algorithm>
#include <cmath>

namespace tarvel::content {
namespace {

constexpr float kPi = 3.14159265358979f;

float Dot(const jolp::Vec3& a, const jolp::Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Azimuth of a direction in turns, 0 towards +z, 0.25 towards +x.
float Turns(const jolp::Vec3& d) {
    float a = std::atan2(d.x, d.z) / (2.0f * kPi);
    return a < 0.0f ? a + 1.0f : a;
}

}  // namespace

jolp::Vec3 SunDirection() {
    const float azimuth = 0.125f * 2.0f * kPi, elevation = -0.03f;
    return {std::cos(elevation) * std::sin(azimuth), std::sin(elevation), std::cos(elevation) * std::cos(azimuth)};
}

Colour SkyColour(const jolp::Vec3& d) {
    const float y = d.y;
    const Colour zenith{0.035f, 0.05f, 0.16f}, high{0.10f, 0.13f, 0.32f}, horizon{0.78f, 0.42f, 0.30f};
    const Colour haze{0.10f, 0.08f, 0.12f};
    const float sun = std::max(0.0f, Dot(d, SunDirection()));
    Colour c;
    if (y >= 0.0f) {
        const float up = std::pow(y, 0.45f);
        c = Mix(horizon, high, Smoothstep(0.0f, 0.55f, up));
        c = Mix(c, zenith, Smoothstep(0.5f, 1.0f, up));
        // The sunset: warmer and brighter towards the sun, near the horizon.
        const float glow = std::pow(sun, 6.0f) * (1.0f - Smoothstep(0.0f, 0.5f, y));
        c = Mix(c, Colour{1.0f, 0.62f, 0.28f}, glow * 0.85f);
        c = Mix(c, Colour{0.55f, 0.30f, 0.45f}, (1.0f - std::pow(sun, 2.0f)) * 0.25f * (1.0f - up));
        // Clouds: a band of dark, sun-rimmed streaks above the horizon.
        const float u = Turns(d);
        const float band = Smoothstep(0.02f, 0.12f, y) * (1.0f - Smoothstep(0.22f, 0.42f, y));
        const float cloud = Smoothstep(0.05f, 0.45f, TileFbm(u, y * 0.35f, 8, 5, 11) * 0.5f + 0.5f - 0.25f);
        const Colour cloudColour = Mix(Colour{0.16f, 0.10f, 0.16f}, Colour{0.95f, 0.55f, 0.35f}, std::pow(sun, 3.0f));
        c = Mix(c, cloudColour, band * cloud * 0.8f);
        // Stars, only where the sky is dark.
        const int sx = static_cast<int>(u * 900.0f), sy = static_cast<int>(up * 300.0f);
        if (HashUnit(sx, sy, 5) > 0.996f) {
            const float twinkle = 0.5f + 0.5f * HashUnit(sx, sy, 6);
            c = Mix(c, Colour{0.9f, 0.92f, 1.0f}, twinkle * Smoothstep(0.35f, 0.8f, up));
        }
    } else {
        c = Mix(Mix(horizon, haze, 0.6f), haze, Smoothstep(0.0f, 0.15f, -y));
    }
    c.a = 1.0f;
    return c;
}

jolp::Vec3 SkyDomeDirection(float u, float v) {
    const float azimuth = u * 2.0f * kPi, polar = v * kPi;
    return {std::sin(polar) * std::sin(azimuth), std::cos(polar), std::sin(polar) * std::cos(azimuth)};
}

Image SkyDomeImage(int width, int height) {
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(width);
            const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(height);
            image.At(x, y) = SkyColour(SkyDomeDirection(u, v));
        }
    }
    return image;
}

std::array<Image, 6> SkyCubeFaces(int edge, bool mountains) {
    std::array<Image, 6> faces;
    for (int f = 0; f < 6; ++f) {
        faces[f] = Image(edge, edge);
        for (int y = 0; y < edge; ++y) {
            for (int x = 0; x < edge; ++x) {
                const jolp::Vec3 d = CubeTexelDirection(f, x, y, edge);
                Colour c = SkyColour(d);
                if (mountains) {
                    const float u = Turns(d);
                    // The ridges as seen from the lake: moonlit slopes, a
                    // little of the sunset on the crests.
                    const float ridge = 0.09f + 0.05f * TileFbm(u, 0.3f, 4, 5, 23);
                    if (d.y < ridge) {
                        const float shade = Smoothstep(-0.2f, ridge, d.y);
                        c = Mix(Colour{0.05f, 0.055f, 0.08f}, Colour{0.13f, 0.12f, 0.17f}, shade);
                    }
                }
                faces[f].At(x, y) = c;
            }
        }
    }
    return faces;
}

}  // namespace tarvel::content
