#include "tools/content/particle_images.h"

#include "tools/content/noise.h"

#include <algorithm>
#include <cmath>

namespace tarvel::content {
namespace {

constexpr int kSize = 256;

template <typename F>
Image Paint(F f) {
    Image image(kSize, kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            // Centred coordinates in [-1, 1], y up.
            const float px = (static_cast<float>(x) + 0.5f) / kSize * 2.0f - 1.0f;
            const float py = 1.0f - (static_cast<float>(y) + 0.5f) / kSize * 2.0f;
            image.At(x, y) = f(px, py);
        }
    }
    return image;
}

// A bright core in a wide halo, zero at the border.
Image Glow(Colour colour) {
    return Paint([=](float x, float y) {
        const float r = std::sqrt(x * x + y * y);
        const float edge = Smoothstep(1.0f, 0.75f, r);
        const float halo = std::exp(-r * r * 5.0f) * edge;
        const float core = std::exp(-r * r * 40.0f);
        Colour c = Scale(colour, halo);
        c = Mix(c, Colour{1.0f, 1.0f, 1.0f}, core * 0.6f);
        c.a = 1.0f;
        return c;
    });
}

// A long thin streak along u with a brighter head, for gusts of wind.
Image WindStreak() {
    return Paint([](float x, float y) {
        const float across = std::exp(-y * y * 60.0f);
        const float along = Smoothstep(-0.95f, -0.2f, x) * Smoothstep(0.95f, 0.5f, x);
        const float wisps = 0.7f + 0.3f * std::sin((x * 5.0f + 0.4f * TileFbm(x * 0.5f + 0.5f, y * 0.5f + 0.5f, 4, 3, 90)) * 3.14159f);
        const float k = across * along * wisps;
        Colour c{0.65f * k, 0.78f * k, 0.9f * k, 1.0f};
        return c;
    });
}

// A flame: a teardrop that narrows upwards, white-yellow at the heart,
// orange then red at its edge, with a ragged tip. Alpha carries the shape.
Image Flame() {
    return Paint([](float x, float y) {
        const float lift = (y + 1.0f) * 0.5f;  // 0 bottom, 1 top
        const float width = 0.55f * std::pow(std::max(0.0f, 1.0f - lift), 0.7f) * Smoothstep(0.0f, 0.25f, lift + 0.1f);
        const float ragged = 0.12f * TileFbm(x * 0.5f + 0.5f, lift, 8, 4, 91) * lift;
        const float d = std::abs(x + ragged) / std::max(width, 1e-3f);
        const float body = Smoothstep(1.0f, 0.55f, d) * Smoothstep(0.0f, 0.15f, lift) * Smoothstep(1.0f, 0.8f, lift);
        const float heat = Smoothstep(0.9f, 0.1f, d) * Smoothstep(0.95f, 0.2f, lift);
        Colour c = Mix(Colour{0.8f, 0.12f, 0.02f}, Colour{1.0f, 0.6f, 0.1f}, heat);
        c = Mix(c, Colour{1.0f, 0.95f, 0.75f}, heat * heat);
        c.a = body;
        return c;
    });
}

}  // namespace

std::vector<ContentFile> ParticleImageFiles() {
    const std::string dir = "media/particles/";
    return {
        {dir + "red_particle.jpg", [] { return EncodeJpeg(Glow({1.0f, 0.18f, 0.12f}), 92); }},
        {dir + "yellow_particle.jpg", [] { return EncodeJpeg(Glow({1.0f, 0.85f, 0.2f}), 92); }},
        {dir + "green_particle.jpg", [] { return EncodeJpeg(Glow({0.25f, 1.0f, 0.3f}), 92); }},
        {dir + "blue_particle.jpg", [] { return EncodeJpeg(Glow({0.25f, 0.45f, 1.0f}), 92); }},
        {dir + "wind_particle.jpg", [] { return EncodeJpeg(WindStreak(), 92); }},
        {dir + "fire_particle.png", [] { return EncodePng(Flame(), 4); }},
    };
}

}  // namespace tarvel::content
