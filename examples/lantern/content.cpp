// lantern_content FOLDER - writes Lantern's data set into its run folder:
// the scene (our scene writer), four small textures and the light cube
// (DDS), and twelve seconds of music (Ogg Vorbis). The same bytes each run.
#include "framework/dds_file.h"
#include "platform/log.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "tools/vorbis_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using jolp::Vec3;

constexpr float kPi = 3.14159265f;
constexpr float kSeconds = 12.0f;
constexpr int kKeys = static_cast<int>(kSeconds * 10) + 1;  // a key every 0.1 s

Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// An A8R8G8B8 image, edge x edge, coloured by colour(u, v) (0..1 each).
template <typename Colour>
jolp::DdsImage Image(uint32_t edge, bool cube, Colour colour) {
    jolp::DdsImage image;
    image.format = jolp::Format::A8R8G8B8;
    image.width = image.height = edge;
    image.cube = cube;
    for (uint32_t face = 0; face < (cube ? 6u : 1u); ++face) {
        for (uint32_t y = 0; y < edge; ++y) {
            for (uint32_t x = 0; x < edge; ++x) {
                const Vec3 c = colour((x + 0.5f) / edge, (y + 0.5f) / edge);
                for (float channel : {c.z, c.y, c.x, 1.0f}) {
                    image.data.push_back(static_cast<uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255)));
                }
            }
        }
    }
    return image;
}

// The unit box (-1..1), its faces clockwise seen from outside.
void Box(std::vector<jolp::SceneVertex>& vertices, std::vector<uint32_t>& indices) {
    for (Vec3 n : {Vec3{1, 0, 0}, Vec3{-1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, -1, 0}, Vec3{0, 0, 1}, Vec3{0, 0, -1}}) {
        const Vec3 t = n.y != 0 ? Vec3{1, 0, 0} : Cross(Vec3{0, 1, 0}, n);
        const Vec3 b = Cross(t, n);
        const auto base = static_cast<uint32_t>(vertices.size());
        for (auto [s, r] : {std::pair{-1.0f, -1.0f}, {-1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, -1.0f}}) {
            const Vec3 p{n.x + s * t.x + r * b.x, n.y + s * t.y + r * b.y, n.z + s * t.z + r * b.z};
            vertices.push_back({p, n, (s + 1) / 2, (r + 1) / 2, t, b});
        }
        indices.insert(indices.end(), {base, base + 2, base + 1, base, base + 3, base + 2});
    }
}

// A camera at eye looking at target, level: its rotation as the scene file
// keeps it (the inverse of the turn from the camera's axes to the world's).
jolp::Quat LookAt(Vec3 eye, Vec3 target) {
    const Vec3 back{eye.x - target.x, eye.y - target.y, eye.z - target.z};
    const float yaw = std::atan2(back.x, back.z);
    const float pitch = -std::atan2(back.y, std::hypot(back.x, back.z));
    const float sy = std::sin(yaw / 2), cy = std::cos(yaw / 2), sp = std::sin(pitch / 2), cp = std::cos(pitch / 2);
    return {-cy * sp, -cp * sy, sy * sp, cy * cp};
}

void WriteScene(const std::string& path) {
    jolp::SceneFileBuilder b;
    std::vector<jolp::SceneVertex> vertices;
    std::vector<uint32_t> indices;
    Box(vertices, indices);
    const int32_t box = b.AddMesh();
    b.AddSubmesh(box, 0, vertices, indices);

    auto surface = [&](const char* name, const char* diffuse) {
        return b.AddLeafMaterial(name, "qo_lambertblinn.fx",
                                 {{"diffuseTex", diffuse}, {"normalTex", "flat.dds"},
                                  {"specularTex", "gloss.dds"}, {"ambientOclusionTex", "white.dds"}});
    };
    const int32_t floor = surface("Floor", "floor.dds");
    const int32_t stone = surface("Stone", "stone.dds");

    auto still = [&](Vec3 position, Vec3 scale) {
        const jolp::Transform key{position, {}, scale};
        return b.AddTransformTrack(std::span(&key, 1));
    };
    b.AddObject("Floor", box, floor, still({0, -0.1f, 0}, {12, 0.1f, 12}));
    for (int i = 0; i < 5; ++i) {
        const float a = 2 * kPi * i / 5;
        b.AddObject("Pillar" + std::to_string(i), box, stone, still({4 * std::cos(a), 1.5f, 4 * std::sin(a)}, {0.4f, 1.5f, 0.4f}));
    }

    std::vector<jolp::Transform> spin(kKeys), high(kKeys), low(kKeys);
    std::vector<Vec3> lamp(kKeys), warm(kKeys, Vec3{1.7f, 1.15f, 0.6f});
    std::vector<float> radius(kKeys, 13.0f), fov(kKeys, 1.4f);
    for (int k = 0; k < kKeys; ++k) {
        const float t = k * 0.1f;
        spin[k] = {{0, 0.8f, 0}, {0, std::sin(t / 4), 0, std::cos(t / 4)}, {0.8f, 0.8f, 0.8f}};
        lamp[k] = {2.4f * std::cos(t * 0.9f), 1.7f + 0.3f * std::sin(t * 2), 2.4f * std::sin(t * 0.9f)};
        const Vec3 highEye{9 * std::cos(0.25f * t), 5.0f - 0.15f * t, 9 * std::sin(0.25f * t)};
        const Vec3 lowEye{-5.5f * std::sin(0.3f * t), 1.0f, 5.5f * std::cos(0.3f * t)};
        high[k] = {highEye, LookAt(highEye, {0, 1, 0})};
        low[k] = {lowEye, LookAt(lowEye, {0, 1.2f, 0})};
    }
    b.AddObject("Heart", box, stone, b.AddTransformTrack(spin));
    const int32_t fovTrack = b.AddScalarTrack(fov);
    b.AddCamera("CamHigh", b.AddTransformTrack(high), fovTrack);
    b.AddCamera("CamLow", b.AddTransformTrack(low), fovTrack);
    // "shadow" in the name: the light casts shadows.
    b.AddLight("Lantern_shadow", b.AddVectorTrack(lamp), b.AddVectorTrack(warm), b.AddScalarTrack(radius));

    std::string reason;
    if (!jolp::WriteSceneFileTo(path, b.File(), reason)) throw std::runtime_error(reason);
}

// A slow pad over three chords, with a soft bell every half second.
std::vector<float> Music(int rate) {
    const float chords[3][3] = {{220.0f, 261.6f, 329.6f}, {174.6f, 220.0f, 261.6f}, {196.0f, 246.9f, 293.7f}};
    const int frames = static_cast<int>(kSeconds * rate);
    std::vector<float> samples(2 * static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i) / rate;
        const float* chord = chords[std::min(static_cast<int>(t / 4), 2)];
        float pad = 0;
        for (int n = 0; n < 3; ++n) pad += std::sin(2 * kPi * chord[n] * t) + 0.3f * std::sin(4 * kPi * chord[n] * t);
        const float swell = std::min({1.0f, t / 1.5f, (kSeconds - t) / 1.5f});
        const float since = std::fmod(t, 0.5f);
        const float bell = std::sin(2 * kPi * chord[static_cast<int>(t * 2) % 3] * 4 * t) * std::exp(-6 * since);
        const float pan = 0.5f + 0.3f * std::sin(t);
        samples[2 * i] = 0.08f * pad * swell + 0.12f * bell * pan;
        samples[2 * i + 1] = 0.08f * pad * swell + 0.12f * bell * (1 - pan);
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        jolp::Log(jolp::LogLevel::Error, "usage: lantern_content RUN_FOLDER");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    try {
        std::filesystem::create_directories(root / "media/scenes");
        std::filesystem::create_directories(root / "media/texs");
        WriteScene((root / jolp::kScenePath).string());

        const auto plain = [](Vec3 c) { return [c](float, float) { return c; }; };
        const std::pair<const char*, jolp::DdsImage> images[] = {
            {"media/texs/floor.dds", Image(64, false, [](float u, float v) {
                 const bool dark = (static_cast<int>(u * 8) + static_cast<int>(v * 8)) % 2;
                 return dark ? Vec3{0.25f, 0.22f, 0.2f} : Vec3{0.6f, 0.55f, 0.48f};
             })},
            {"media/texs/stone.dds", Image(64, false, [](float u, float v) {
                 const float grain = 0.5f + 0.25f * std::sin(40 * u + 9 * std::sin(13 * v)) * std::cos(31 * v);
                 return Vec3{0.55f * grain + 0.25f, 0.5f * grain + 0.22f, 0.45f * grain + 0.2f};
             })},
            {"media/texs/flat.dds", Image(4, false, plain({0.5f, 0.5f, 1.0f}))},
            {"media/texs/gloss.dds", Image(4, false, plain({0.35f, 0.35f, 0.35f}))},
            {"media/texs/white.dds", Image(4, false, plain({1, 1, 1}))},
            {"lightCube.dds", Image(8, true, plain({1, 1, 1}))},
        };
        for (const auto& [name, image] : images) {
            std::string error;
            if (!jolp::WriteDdsFile((root / name).string(), image, error)) throw std::runtime_error(error);
        }

        const jolp::tools::VorbisSettings settings;
        const std::vector<float> music = Music(settings.sampleRate);
        std::string error;
        if (!jolp::tools::WriteOggVorbis((root / "media/music.ogg").string(), music.data(), music.size() / 2, settings,
                                         error)) {
            throw std::runtime_error(error);
        }
    } catch (const std::exception& e) {
        jolp::Log(jolp::LogLevel::Error, "%s", e.what());
        return 1;
    }
    return 0;
}
