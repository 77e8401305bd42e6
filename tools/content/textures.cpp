#include "tools/content/textures.h"

#include "tools/content/noise.h"
#include "tools/content/sky.h"

#include <algorithm>
#include <cmath>

namespace tarvel::content {
namespace {

constexpr float kPi = 3.14159265358979f;

float Fract(float x) { return x - std::floor(x); }

// What a surface is at one point of its tile.
struct SurfacePoint {
    Colour diffuse;
    float height = 0.5f;   // 0..1
    float specular = 0.1f;
    float occlusion = 1.0f;
};

using Surface = std::function<SurfacePoint(float u, float v)>;

enum class Map { Diffuse, Height, Specular, Occlusion };

Image Render(const Surface& surface, int size, Map map) {
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
            const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
            const SurfacePoint p = surface(u, v);
            Colour& c = image.At(x, y);
            switch (map) {
                case Map::Diffuse: c = p.diffuse; c.a = 1.0f; break;
                case Map::Height: c = {p.height, p.height, p.height, 1.0f}; break;
                case Map::Specular: c = {p.specular, p.specular, p.specular * 0.95f, 1.0f}; break;
                case Map::Occlusion: c = {p.occlusion, p.occlusion, p.occlusion, 1.0f}; break;
            }
        }
    }
    return image;
}

// Slopes of `relief` height units across the whole tile, whatever the size.
Image RenderNormals(const Surface& surface, int size, float relief) {
    return NormalMapFromHeight(Render(surface, size, Map::Height), relief * static_cast<float>(size) / 256.0f);
}

SurfacePoint Ground(float u, float v) {
    const float h = 0.5f + 0.5f * TileFbm(u, v, 8, 6, 1);
    const float moss = 0.5f + 0.5f * TileFbm(u, v, 4, 4, 2);
    const float pebbles = TileCells(u, v, 32, 3).f1;
    const Colour grass{0.20f, 0.26f, 0.11f}, dry{0.40f, 0.37f, 0.21f}, dirt{0.34f, 0.27f, 0.19f};
    Colour c = Mix(grass, dry, Smoothstep(0.35f, 0.75f, moss));
    c = Mix(c, dirt, Smoothstep(0.55f, 0.3f, h) * 0.7f);
    const float grain = 0.85f + 0.3f * HashUnit(static_cast<int>(u * 1024), static_cast<int>(v * 1024), 4);
    c = Scale(c, grain);
    SurfacePoint p;
    p.height = std::clamp(h * 0.8f + 0.2f * Smoothstep(0.45f, 0.1f, pebbles), 0.0f, 1.0f);
    p.diffuse = Mix(c, Colour{0.30f, 0.28f, 0.25f}, Smoothstep(0.25f, 0.05f, pebbles) * 0.6f);
    p.specular = 0.03f + 0.08f * Smoothstep(0.5f, 0.2f, h);
    p.occlusion = 0.55f + 0.45f * Smoothstep(0.15f, 0.7f, h);
    return p;
}

// Four by four flagstones with worn edges and mossy joints.
SurfacePoint Flagstones(float u, float v) {
    const float su = u * 4.0f + 0.05f * TileFbm(u, v, 4, 3, 10);
    const float sv = v * 4.0f + 0.05f * TileFbm(u, v, 4, 3, 11);
    const int cx = static_cast<int>(std::floor(su)) & 3, cy = static_cast<int>(std::floor(sv)) & 3;
    const float fx = Fract(su), fy = Fract(sv);
    const float edge = std::min(std::min(fx, 1.0f - fx), std::min(fy, 1.0f - fy));
    const float slab = Smoothstep(0.0f, 0.07f, edge);
    const float tone = HashUnit(cx, cy, 12);
    const float wear = 0.5f + 0.5f * TileFbm(u, v, 16, 4, 13);
    Colour stone = Mix(Colour{0.42f, 0.39f, 0.34f}, Colour{0.55f, 0.50f, 0.42f}, tone);
    stone = Scale(stone, 0.8f + 0.35f * wear);
    const Colour joint{0.10f, 0.12f, 0.07f};
    SurfacePoint p;
    p.diffuse = Mix(joint, stone, slab);
    p.height = 0.12f + slab * (0.68f + 0.12f * wear + 0.08f * (HashUnit(cx, cy, 14) - 0.5f));
    p.specular = 0.02f + 0.18f * slab * wear;
    p.occlusion = 0.45f + 0.55f * Smoothstep(0.0f, 0.12f, edge);
    return p;
}

// Running-bond bricks, eight courses and four bricks a course per tile.
SurfacePoint Bricks(float u, float v) {
    const float course = v * 8.0f;
    const int row = static_cast<int>(std::floor(course)) & 7;
    const float along = u * 4.0f + ((row & 1) ? 0.5f : 0.0f);
    const int column = static_cast<int>(std::floor(along)) & 3;
    // Distances to the mortar in texels of a 512 tile (a brick is 128 x 64).
    const float ex = std::min(Fract(along), 1.0f - Fract(along)) * 128.0f;
    const float ey = std::min(Fract(course), 1.0f - Fract(course)) * 64.0f;
    const float edge = std::min(ex, ey);
    const float brick = Smoothstep(2.0f, 6.0f, edge + 2.0f * TileFbm(u, v, 32, 2, 20));
    const float tone = HashUnit(column, row, 21);
    const float weather = 0.5f + 0.5f * TileFbm(u, v, 8, 5, 22);
    Colour c = Mix(Colour{0.40f, 0.21f, 0.15f}, Colour{0.36f, 0.30f, 0.26f}, tone * 0.8f);
    c = Scale(c, 0.75f + 0.4f * weather);
    c = Mix(c, Colour{0.16f, 0.20f, 0.10f}, Smoothstep(0.62f, 0.85f, weather) * 0.5f);
    SurfacePoint p;
    p.diffuse = Mix(Colour{0.40f, 0.38f, 0.33f}, c, brick);
    p.height = 0.15f + brick * (0.7f + 0.15f * weather);
    p.specular = 0.04f + 0.1f * brick * (1.0f - weather);
    p.occlusion = 0.5f + 0.5f * Smoothstep(0.0f, 10.0f, edge);
    return p;
}

// Weathered limestone drums: veins, pits and two joints per tile.
SurfacePoint Limestone(float u, float v) {
    const float vein = 1.0f - std::abs(TileFbm(u, v, 4, 6, 30));
    const CellSample pits = TileCells(u, v, 48, 31);
    const float pit = Smoothstep(0.25f, 0.0f, pits.f1) * (pits.id % 3 == 0 ? 1.0f : 0.0f);
    const float joint = std::min(Fract(v * 2.0f), 1.0f - Fract(v * 2.0f));
    const float jointRelief = Smoothstep(0.0f, 0.02f, joint);
    const float tone = 0.5f + 0.5f * TileFbm(u, v, 8, 4, 32);
    Colour c = Mix(Colour{0.58f, 0.54f, 0.46f}, Colour{0.70f, 0.66f, 0.58f}, tone);
    c = Mix(c, Colour{0.45f, 0.42f, 0.37f}, std::pow(vein, 12.0f) * 0.6f);
    c = Scale(c, 1.0f - 0.35f * pit);
    SurfacePoint p;
    p.diffuse = Mix(Colour{0.25f, 0.24f, 0.20f}, c, jointRelief);
    p.height = (0.75f + 0.15f * tone - 0.35f * pit) * (0.3f + 0.7f * jointRelief);
    p.specular = 0.08f + 0.2f * tone * (1.0f - pit);
    p.occlusion = (0.6f + 0.4f * jointRelief) * (1.0f - 0.3f * pit);
    return p;
}

// Four planks along u with their grain and the gaps between them.
SurfacePoint Wood(float u, float v) {
    const float plankV = v * 4.0f;
    const int plank = static_cast<int>(std::floor(plankV)) & 3;
    const float gap = std::min(Fract(plankV), 1.0f - Fract(plankV));
    const float open = Smoothstep(0.0f, 0.025f, gap);
    const float rings = Fract(plankV * 5.0f + 1.5f * TileFbm(u, v, 4, 4, 40 + plank) + HashUnit(plank, 0, 41));
    const float grain = Smoothstep(0.0f, 0.5f, rings) * Smoothstep(1.0f, 0.6f, rings);
    const float age = 0.5f + 0.5f * TileFbm(u, v, 8, 4, 42);
    Colour c = Mix(Colour{0.22f, 0.14f, 0.08f}, Colour{0.38f, 0.26f, 0.15f}, grain);
    c = Mix(c, Colour{0.30f, 0.29f, 0.26f}, Smoothstep(0.55f, 0.9f, age) * 0.5f);
    SurfacePoint p;
    p.diffuse = Mix(Colour{0.04f, 0.03f, 0.02f}, c, open);
    p.height = open * (0.7f + 0.15f * grain + 0.1f * age);
    p.specular = 0.05f + 0.1f * grain * open;
    p.occlusion = 0.4f + 0.6f * Smoothstep(0.0f, 0.06f, gap);
    return p;
}

// Fir needles: drooping sprays in rows (v runs down the tree), each
// spray's tip lighter than its shaded root, streaked along the needles.
SurfacePoint Foliage(float u, float v) {
    const float row = v * 6.0f + 0.25f * TileFbm(u, v, 8, 3, 70);
    const float along = Fract(row);
    const float streak = HashUnit(static_cast<int>(u * 192.0f), static_cast<int>(row * 3.0f), 71);
    const float clump = 0.5f + 0.5f * TileFbm(u, v, 4, 4, 72);
    Colour c = Mix(Colour{0.10f, 0.17f, 0.11f}, Colour{0.30f, 0.40f, 0.26f}, Smoothstep(0.1f, 0.9f, along));
    c = Scale(c, 0.75f + 0.3f * streak + 0.25f * clump);
    SurfacePoint p;
    p.diffuse = c;
    p.height = 0.2f + 0.6f * along + 0.15f * streak;
    p.specular = 0.04f + 0.08f * along;
    p.occlusion = 0.7f + 0.3f * along;
    return p;
}

// Hammered black iron with rust.
SurfacePoint Iron(float u, float v) {
    const CellSample dents = TileCells(u, v, 24, 50, 0.9f);
    const float rust = Smoothstep(0.15f, 0.45f, TileFbm(u, v, 4, 6, 51));
    const float shade = 0.5f + 0.5f * TileFbm(u, v, 16, 3, 52);
    Colour c = Mix(Colour{0.16f, 0.16f, 0.17f}, Colour{0.24f, 0.23f, 0.22f}, shade);
    c = Mix(c, Colour{0.34f, 0.16f, 0.07f}, rust);
    SurfacePoint p;
    p.diffuse = c;
    p.height = 0.6f - 0.25f * Smoothstep(0.5f, 0.0f, dents.f1) + 0.15f * rust;
    p.specular = 0.6f * (1.0f - rust) + 0.05f;
    p.occlusion = 0.75f + 0.25f * shade;
    return p;
}

// Small wind-driven ripples: only the height matters.
SurfacePoint Ripples(float u, float v) {
    SurfacePoint p;
    const float a = TileFbm(u, v, 8, 5, 60, 0.55f);
    const float b = std::sin((u * 6.0f + v * 3.0f + 0.3f * TileFbm(u, v, 4, 3, 61)) * 2.0f * kPi);
    p.height = 0.5f + 0.35f * a + 0.1f * b;
    return p;
}

Image Flat(int size, Colour colour) {
    Image image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) image.At(x, y) = colour;
    return image;
}

// Amber lantern glass in a lead frame with a cross of cames.
Image LampGlass(int size) {
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
            const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
            const float frame = std::min(std::min(u, 1.0f - u), std::min(v, 1.0f - v));
            const float cross = std::min(std::abs(u - 0.5f), std::abs(v - 0.5f));
            const float lead = Smoothstep(0.03f, 0.06f, frame) * Smoothstep(0.01f, 0.03f, cross);
            const float r = std::sqrt((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f));
            const float flame = std::exp(-r * r * 8.0f);
            const float seeds = 0.9f + 0.1f * TileFbm(u, v, 16, 3, 70);
            const Colour glass = Scale(Mix(Colour{0.75f, 0.35f, 0.10f}, Colour{1.0f, 0.85f, 0.55f}, flame), seeds);
            image.At(x, y) = Mix(Colour{0.03f, 0.02f, 0.01f}, glass, lead);
        }
    }
    return image;
}

// A swirl of light for the floating orb: u runs round it, v top to bottom.
Image PowerBall(int size) {
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
            const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
            const float warp = TileFbm(u, v, 4, 4, 80);
            const float swirl = 0.5f + 0.5f * std::sin((u * 3.0f + v * 2.0f + warp * 1.5f) * 2.0f * kPi);
            const float sparks = std::pow(0.5f + 0.5f * TileFbm(u + warp * 0.1f, v, 16, 3, 81), 6.0f);
            const float band = std::sin(v * kPi);
            Colour c = Mix(Colour{0.05f, 0.15f, 0.45f}, Colour{0.35f, 0.85f, 1.0f}, swirl);
            c = Mix(c, Colour{0.85f, 0.45f, 1.0f}, Smoothstep(0.6f, 0.9f, warp * 0.5f + 0.5f));
            c = Scale(c, 0.35f + 0.65f * band);
            c = Mix(c, Colour{1.0f, 1.0f, 1.0f}, std::min(1.0f, sparks * 3.0f));
            image.At(x, y) = c;
        }
    }
    return image;
}

// Tints a lantern casts through its panes, by direction: four panes a face
// with dark frames, warm glass with some rose and green panes.
std::array<Image, 6> LanternPaneFaces(int edge) {
    std::array<Image, 6> faces;
    const Colour tints[4] = {{1.0f, 0.78f, 0.45f}, {1.0f, 0.55f, 0.45f}, {0.95f, 0.85f, 0.55f}, {0.6f, 0.85f, 0.5f}};
    for (int f = 0; f < 6; ++f) {
        faces[f] = Image(edge, edge);
        for (int y = 0; y < edge; ++y) {
            for (int x = 0; x < edge; ++x) {
                const float s = (static_cast<float>(x) + 0.5f) / static_cast<float>(edge);
                const float t = (static_cast<float>(y) + 0.5f) / static_cast<float>(edge);
                const float frame = std::min(std::min(s, 1.0f - s), std::min(t, 1.0f - t));
                const float cross = std::min(std::abs(s - 0.5f), std::abs(t - 0.5f));
                const float open = Smoothstep(0.02f, 0.05f, frame) * Smoothstep(0.015f, 0.04f, cross);
                const int pane = (s > 0.5f ? 1 : 0) + (t > 0.5f ? 2 : 0);
                Colour c = tints[(pane + f) % 4];
                // The lantern's top is closed and its floor lets little through.
                const float through = f == 2 ? 0.15f : (f == 3 ? 0.5f : 1.0f);
                faces[f].At(x, y) = Scale(Mix(Colour{0.08f, 0.06f, 0.04f}, c, open), through);
            }
        }
    }
    return faces;
}

// A soft wash of colour by direction: warm from above, cool from below,
// rose towards the sunset.
std::array<Image, 6> WashFaces(int edge) {
    std::array<Image, 6> faces;
    for (int f = 0; f < 6; ++f) {
        faces[f] = Image(edge, edge);
        for (int y = 0; y < edge; ++y) {
            for (int x = 0; x < edge; ++x) {
                const jolp::Vec3 d = CubeTexelDirection(f, x, y, edge);
                Colour c = Mix(Colour{0.45f, 0.55f, 0.9f}, Colour{1.0f, 0.85f, 0.6f}, 0.5f + 0.5f * d.y);
                c = Mix(c, Colour{1.0f, 0.5f, 0.6f}, Smoothstep(0.3f, 1.0f, d.x) * 0.5f);
                faces[f].At(x, y) = c;
            }
        }
    }
    return faces;
}

ContentFile Jpeg(std::string path, Surface surface, int size, Map map, int quality = 90) {
    return {std::move(path), [=] { return EncodeJpeg(Render(surface, size, map), quality); }};
}
ContentFile Png(std::string path, Surface surface, int size, Map map) {
    return {std::move(path), [=] { return EncodePng(Render(surface, size, map), 3); }};
}
// A normal map as RGBA PNG with the height in alpha.
ContentFile NormalPng(std::string path, Surface surface, int size, float relief) {
    return {std::move(path), [=] { return EncodePng(RenderNormals(surface, size, relief), 4); }};
}
ContentFile NormalDds(std::string path, Surface surface, int size, float relief) {
    return {std::move(path),
            [=] { return jolp::WriteDds(MakeDds2D(RenderNormals(surface, size, relief), DdsEncoding::Dxt5, true, true)); }};
}
ContentFile CubeDds(std::string path, std::function<std::array<Image, 6>()> faces, DdsEncoding encoding, bool mips) {
    return {std::move(path), [=] { return jolp::WriteDds(MakeDdsCube(faces(), encoding, mips)); }};
}

}  // namespace

std::vector<ContentFile> TextureFiles() {
    const std::string texs = "media/texs/";
    std::vector<ContentFile> files;

    // The named textures, in the run folder itself.
    files.push_back(CubeDds("LightCube.dds", [] { return WashFaces(256); }, DdsEncoding::Argb8, true));
    files.push_back(CubeDds("sunol_cubemap.dds", [] { return SkyCubeFaces(256, false); }, DdsEncoding::Dxt1, true));
    files.push_back({"powerBall.jpg", [] { return EncodeJpeg(PowerBall(256), 92); }});
    files.push_back({"texture1_d.tga", [] { return EncodeTga(Render(Limestone, 512, Map::Diffuse), 3); }});
    files.push_back(NormalDds("four_NM_height.dds", Flagstones, 512, 3.0f));
    files.push_back({"texture1_s.tga", [] { return EncodeTga(Render(Limestone, 256, Map::Specular), 3); }});

    // The light cube of the render system ("cube" lights shine through it).
    files.push_back(CubeDds("lightCube.dds", [] { return LanternPaneFaces(256); }, DdsEncoding::Argb8, false));

    files.push_back(Jpeg(texs + "ground_d.jpg", Ground, 1024, Map::Diffuse));
    files.push_back(NormalPng(texs + "ground_n.png", Ground, 512, 6.0f));
    files.push_back(Jpeg(texs + "ground_s.jpg", Ground, 256, Map::Specular));
    files.push_back(Png(texs + "ground_ao.png", Ground, 256, Map::Occlusion));

    files.push_back(Jpeg(texs + "flagstone_d.jpg", Flagstones, 512, Map::Diffuse));
    files.push_back(Jpeg(texs + "flagstone_s.jpg", Flagstones, 256, Map::Specular));
    files.push_back(Png(texs + "flagstone_ao.png", Flagstones, 256, Map::Occlusion));

    files.push_back({texs + "bricks_d.dds",
                     [] { return jolp::WriteDds(MakeDds2D(Render(Bricks, 512, Map::Diffuse), DdsEncoding::Dxt1, true)); }});
    files.push_back(NormalDds(texs + "bricks_nh.dds", Bricks, 512, 3.0f));
    files.push_back(Jpeg(texs + "bricks_s.jpg", Bricks, 256, Map::Specular));
    files.push_back(Png(texs + "bricks_ao.png", Bricks, 256, Map::Occlusion));

    files.push_back(NormalPng(texs + "column_nh.png", Limestone, 512, 2.5f));
    files.push_back(Png(texs + "column_ao.png", Limestone, 256, Map::Occlusion));

    files.push_back(Jpeg(texs + "wood_d.jpg", Wood, 512, Map::Diffuse));
    files.push_back(NormalPng(texs + "wood_n.png", Wood, 512, 2.0f));
    files.push_back(Jpeg(texs + "wood_s.jpg", Wood, 256, Map::Specular));
    files.push_back(Png(texs + "wood_ao.png", Wood, 256, Map::Occlusion));

    files.push_back({texs + "iron_d.dds",
                     [] { return jolp::WriteDds(MakeDds2D(Render(Iron, 256, Map::Diffuse), DdsEncoding::Dxt1, true)); }});
    files.push_back(NormalPng(texs + "iron_n.png", Iron, 256, 2.0f));
    files.push_back(Jpeg(texs + "iron_s.jpg", Iron, 256, Map::Specular));
    files.push_back(Png(texs + "iron_ao.png", Iron, 256, Map::Occlusion));

    files.push_back(Jpeg(texs + "foliage_d.jpg", Foliage, 256, Map::Diffuse));
    files.push_back(NormalPng(texs + "foliage_n.png", Foliage, 256, 2.0f));
    files.push_back(Jpeg(texs + "foliage_s.jpg", Foliage, 128, Map::Specular));
    files.push_back(Png(texs + "foliage_ao.png", Foliage, 128, Map::Occlusion));

    files.push_back(NormalPng(texs + "water_n.png", Ripples, 512, 1.5f));
    files.push_back({texs + "sky_dusk.jpg", [] { return EncodeJpeg(SkyDomeImage(1024, 512), 92); }});
    files.push_back({texs + "lamp_glass.jpg", [] { return EncodeJpeg(LampGlass(256), 92); }});
    files.push_back({texs + "flat_n.png", [] { return EncodePng(Flat(256, {0.5f, 0.5f, 1.0f, 1.0f}), 3); }});
    files.push_back({texs + "matte_s.jpg", [] { return EncodeJpeg(Flat(256, {0.02f, 0.02f, 0.02f, 1.0f}), 90); }});
    files.push_back({texs + "open_ao.png", [] { return EncodePng(Flat(256, {1.0f, 1.0f, 1.0f, 1.0f}), 3); }});

    files.push_back(CubeDds("media/cubes/lake_reflection.dds", [] { return SkyCubeFaces(256, true); }, DdsEncoding::Dxt1, true));
    return files;
}

}  // namespace tarvel::content
