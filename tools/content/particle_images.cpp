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

// A spark: a small hot core of the colour in a faint halo, black at the
// border. The 2 m quad is mostly halo, so a swarm of them reads as points
// of light in a glow of their colour, and only the cores are bright: four
// swarms crossing add up to colour, not to a white cloud.
Image Spark(Colour colour) {
    return Paint([=](float x, float y) {
        const float r = std::sqrt(x * x + y * y);
        const float edge = Smoothstep(1.0f, 0.7f, r);
        const float halo = 0.16f * std::exp(-r * r * 7.0f) * edge;
        const float core = std::exp(-r * r * 90.0f);
        Colour c = Scale(colour, halo + 0.8f * core);
        c = Mix(c, Colour{1.0f, 1.0f, 1.0f}, 0.3f * std::exp(-r * r * 400.0f));
        c.a = 1.0f;
        return c;
    });
}

// A gust: a faint, wide wisp of cool air, ragged along its length, soft at
// every edge. Dozens of them overlap along the gust's path, so each is dim
// and nearly colourless on its own.
Image WindWisp() {
    return Paint([](float x, float y) {
        const float bend = 0.18f * x * x - 0.06f;
        const float across = std::exp(-(y - bend) * (y - bend) * 14.0f);
        const float along = Smoothstep(-1.0f, -0.3f, x) * Smoothstep(1.0f, 0.45f, x);
        const float wisps = 0.45f + 0.55f * TileFbm(x * 0.5f + 0.5f, y * 0.5f + 0.5f, 4, 4, 90);
        const float k = 0.26f * across * along * wisps;
        return Colour{0.55f * k, 0.68f * k, 0.8f * k, 1.0f};
    });
}

// A tongue of flame: a soft teardrop that narrows upwards, orange at the
// heart and deep red at its edge, with a ragged tip and almost no blue.
// A fire is dozens of them overlapping, so each is dim on its own: where
// they crowd the fire burns yellow, and it never adds up to white.
Image Flame() {
    return Paint([](float x, float y) {
        const float lift = (y + 1.0f) * 0.5f;  // 0 bottom, 1 top
        const float width = 0.6f * std::pow(std::max(0.0f, 1.0f - lift), 0.6f) * Smoothstep(0.0f, 0.3f, lift + 0.1f);
        const float ragged = 0.15f * TileFbm(x * 0.5f + 0.5f, lift, 8, 4, 91) * lift;
        const float d = std::abs(x + ragged) / std::max(width, 1e-3f);
        const float body = Smoothstep(1.0f, 0.2f, d) * Smoothstep(0.0f, 0.25f, lift) * Smoothstep(1.0f, 0.7f, lift);
        const float heat = Smoothstep(0.9f, 0.0f, d) * Smoothstep(0.95f, 0.15f, lift);
        Colour c = Mix(Colour{0.32f, 0.05f, 0.004f}, Colour{0.5f, 0.2f, 0.015f}, heat);
        c = Mix(c, Colour{0.55f, 0.36f, 0.05f}, heat * heat);
        c.a = body;
        return c;
    });
}

}  // namespace

std::vector<ContentFile> ParticleImageFiles() {
    const std::string dir = "media/particles/";
    return {
        {dir + "red_particle.jpg", [] { return EncodeJpeg(Spark({1.0f, 0.16f, 0.08f}), 92); }},
        {dir + "yellow_particle.jpg", [] { return EncodeJpeg(Spark({0.95f, 0.78f, 0.1f}), 92); }},
        {dir + "green_particle.jpg", [] { return EncodeJpeg(Spark({0.2f, 1.0f, 0.25f}), 92); }},
        {dir + "blue_particle.jpg", [] { return EncodeJpeg(Spark({0.2f, 0.4f, 1.0f}), 92); }},
        {dir + "wind_particle.jpg", [] { return EncodeJpeg(WindWisp(), 92); }},
        {dir + "fire_particle.png", [] { return EncodePng(Flame(), 4); }},
    };
}

}  // namespace tarvel::content
