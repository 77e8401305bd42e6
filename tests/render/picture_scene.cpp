// picture_scene.cpp - meshes, textures, camera and the drawing rig of the
// picture tests and the render benchmark.
#include "tests/render/picture_scene.h"

#include "framework/dds_file.h"
#include "render/bind_scene.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace jolp::testing {

jolp::Vec3 Add(const jolp::Vec3& a, const jolp::Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
jolp::Vec3 Sub(const jolp::Vec3& a, const jolp::Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
jolp::Vec3 Scale(const jolp::Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
jolp::Vec3 Cross(const jolp::Vec3& a, const jolp::Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const jolp::Vec3& a, const jolp::Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
jolp::Vec3 Normalized(const jolp::Vec3& a) { return Scale(a, 1.0f / std::sqrt(Dot(a, a))); }

void AddQuad(jolp::SceneFileBuilder& builder, int32_t mesh, const jolp::Vec3& centre, const jolp::Vec3& normal,
             const jolp::Vec3& up, float halfWidth, float halfHeight) {
    const jolp::Vec3 n = Normalized(normal);
    const jolp::Vec3 v = Normalized(up);
    const jolp::Vec3 u = Cross(v, n);  // to the right, seen from the front
    const jolp::Vec3 du = Scale(u, halfWidth);
    const jolp::Vec3 dv = Scale(v, halfHeight);
    // Texture v grows downwards, so the binormal points against `up`.
    const jolp::Vec3 binormal = Scale(v, -1.0f);
    auto corner = [&](float su, float sv, float tu, float tv) {
        jolp::SceneVertex vertex;
        vertex.position = Add(centre, Add(Scale(du, su), Scale(dv, sv)));
        vertex.normal = n;
        vertex.u = tu;
        vertex.v = tv;
        vertex.tangent = u;
        vertex.binormal = binormal;
        return vertex;
    };
    const jolp::SceneVertex vertices[4] = {
        corner(-1, -1, 0, 1),  // bottom left
        corner(-1, 1, 0, 0),   // top left
        corner(1, 1, 1, 0),    // top right
        corner(1, -1, 1, 1),   // bottom right
    };
    // Bottom left, top left, top right: clockwise seen from the front.
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    builder.AddSubmesh(mesh, 0, vertices, indices);
}

int32_t AddBoxMesh(jolp::SceneFileBuilder& builder, const jolp::Vec3& half) {
    const int32_t mesh = builder.AddMesh();
    const jolp::Vec3 y{0, 1, 0};
    AddQuad(builder, mesh, {half.x, 0, 0}, {1, 0, 0}, y, half.z, half.y);
    AddQuad(builder, mesh, {-half.x, 0, 0}, {-1, 0, 0}, y, half.z, half.y);
    AddQuad(builder, mesh, {0, 0, half.z}, {0, 0, 1}, y, half.x, half.y);
    AddQuad(builder, mesh, {0, 0, -half.z}, {0, 0, -1}, y, half.x, half.y);
    AddQuad(builder, mesh, {0, half.y, 0}, {0, 1, 0}, {0, 0, -1}, half.x, half.z);
    AddQuad(builder, mesh, {0, -half.y, 0}, {0, -1, 0}, {0, 0, 1}, half.x, half.z);
    return mesh;
}

int32_t AddFloorMesh(jolp::SceneFileBuilder& builder, float half) {
    const int32_t mesh = builder.AddMesh();
    AddQuad(builder, mesh, {0, 0, 0}, {0, 1, 0}, {0, 0, -1}, half, half);
    return mesh;
}

int32_t AddPanelMesh(jolp::SceneFileBuilder& builder, float halfWidth, float halfHeight) {
    const int32_t mesh = builder.AddMesh();
    AddQuad(builder, mesh, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, halfWidth, halfHeight);
    return mesh;
}

int32_t AddPlacement(jolp::SceneFileBuilder& builder, const jolp::Vec3& position, const jolp::Vec3& scale,
                     const jolp::Quat& rotation) {
    const jolp::Transform key{position, rotation, scale};
    return builder.AddTransformTrack(std::span<const jolp::Transform>(&key, 1));
}

int32_t AddStillLight(jolp::SceneFileBuilder& builder, const std::string& name, const jolp::Vec3& position,
                      const jolp::Vec3& colour, float radius) {
    const int32_t p = builder.AddVectorTrack(std::span<const jolp::Vec3>(&position, 1));
    const int32_t c = builder.AddVectorTrack(std::span<const jolp::Vec3>(&colour, 1));
    const int32_t r = builder.AddScalarTrack(std::span<const float>(&radius, 1));
    return builder.AddLight(name, p, c, r);
}

jolp::SceneFileProperties SurfaceParameters(const std::string& diffuse) {
    return {{"diffuseTex", diffuse},
            {"normalTex", kFlatNormalTex},
            {"specularTex", kBlackTex},
            {"ambientOclusionTex", kWhiteTex}};
}

jolp::SceneFileProperties ParallaxParameters(const std::string& diffuse) {
    jolp::SceneFileProperties p = SurfaceParameters(diffuse);
    p.emplace_back("bumpDepth", "4");
    p.emplace_back("textureSize", "256");
    return p;
}

bool WriteSolidPng(const std::string& path, std::array<uint8_t, 4> rgba, int size) {
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) std::copy(rgba.begin(), rgba.end(), pixels.begin() + i);
    return stbi_write_png(path.c_str(), size, size, 4, pixels.data(), size * 4) != 0;
}

bool WriteSolidCube(const std::string& path, const std::array<std::array<uint8_t, 3>, 6>& faces,
                    std::string& error) {
    constexpr uint32_t kEdge = 4;
    jolp::DdsImage image;
    image.format = jolp::Format::A8R8G8B8;
    image.width = image.height = kEdge;
    image.levels = 1;
    image.cube = true;
    for (const auto& rgb : faces) {
        for (uint32_t i = 0; i < kEdge * kEdge; ++i) {
            // A8R8G8B8 lies in memory as B, G, R, A.
            image.data.insert(image.data.end(), {rgb[2], rgb[1], rgb[0], 255});
        }
    }
    return jolp::WriteDdsFile(path, image, error);
}

jolp::CameraView LookAt(const jolp::Vec3& eye, const jolp::Vec3& target, float fov, float aspect, float nearPlane,
                        float farPlane) {
    jolp::CameraView c;
    c.position = eye;
    // The camera looks along -forward.
    c.forward = Normalized(Sub(eye, target));
    c.right = Normalized(Cross({0, 1, 0}, c.forward));
    c.up = Cross(c.forward, c.right);
    c.fov = fov;
    c.aspect = aspect;
    c.nearPlane = nearPlane;
    c.farPlane = farPlane;
    return c;
}

Pixel Project(const jolp::CameraView& camera, const jolp::Vec3& point, const jolp::Rect& picture) {
    const jolp::Matrix viewProj =
        jolp::MatrixMultiply(CameraViewMatrix(camera), CameraProjectionMatrix(camera));
    const auto& m = viewProj.m;
    float clip[4];
    for (int c = 0; c < 4; ++c) clip[c] = point.x * m[0][c] + point.y * m[1][c] + point.z * m[2][c] + m[3][c];
    Pixel p;
    p.inFront = clip[3] > 0.0f;
    if (!p.inFront) return p;
    const float x = clip[0] / clip[3];
    const float y = clip[1] / clip[3];
    p.x = picture.left + static_cast<int32_t>(std::floor((x * 0.5f + 0.5f) * static_cast<float>(picture.Width())));
    p.y = picture.top + static_cast<int32_t>(std::floor((0.5f - y * 0.5f) * static_cast<float>(picture.Height())));
    return p;
}

double Picture::Mean(int32_t x, int32_t y, int32_t r, int channel) const {
    double sum = 0.0;
    int count = 0;
    for (int32_t j = std::max(0, y - r); j <= std::min(height - 1, y + r); ++j) {
        for (int32_t i = std::max(0, x - r); i <= std::min(width - 1, x + r); ++i) {
            const uint8_t* p = At(i, j);
            sum += channel < 0 ? (p[0] + p[1] + p[2]) / 3.0 : p[channel];
            ++count;
        }
    }
    return count ? sum / count : 0.0;
}

bool Picture::Save(const std::string& path) const {
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

PictureRig::PictureRig(uint32_t width, uint32_t height, jolp::Rect pictureRect)
    : gl(width, height),
      window{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)},
      picture(pictureRect.Width() > 0 ? pictureRect : window) {}

PictureRig::~PictureRig() {
    // What lives on the device goes before it.
    renderSystem.reset();
    scene.reset();
}

bool PictureRig::Start(const std::string& sourceDir, std::string& error) {
    if (!ok()) {
        error = gl.error;
        return false;
    }
    for (auto [name, rgba] : {std::pair{kWhiteTex, std::array<uint8_t, 4>{255, 255, 255, 255}},
                              std::pair{kBlackTex, std::array<uint8_t, 4>{0, 0, 0, 255}},
                              std::pair{kGreyTex, std::array<uint8_t, 4>{128, 128, 128, 255}},
                              std::pair{kFlatNormalTex, std::array<uint8_t, 4>{128, 128, 255, 128}}}) {
        if (!WriteSolidPng(dir / name, rgba)) {
            error = "cannot write " + (dir / name);
            return false;
        }
        if (!AddTexture(name, error)) return false;
    }
    renderSystem = std::make_unique<RenderSystem>(*gl.device, window, picture, files);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(sourceDir);
    const bool loaded = renderSystem->LoadEffects();
    // The light cube is read from the working folder.
    std::filesystem::current_path(dir.Path());
    const bool created = loaded && renderSystem->CreateTargets();
    std::filesystem::current_path(before);
    if (!created) error = renderSystem->StartupError();
    return created;
}

bool PictureRig::AddTexture(const std::string& name, std::string& error) {
    auto texture = jolp::Texture2D::Load(dir / name, *gl.device, error);
    if (!texture) return false;
    registry.AddIfAbsent(name, registry.Keep(std::move(texture)));
    return true;
}

bool PictureRig::AddCubeTexture(const std::string& name, std::string& error) {
    auto texture = jolp::TextureCube::Load(dir / name, *gl.device, error);
    if (!texture) return false;
    registry.AddIfAbsent(name, registry.Keep(std::move(texture)));
    return true;
}

bool PictureRig::Load(const jolp::SceneFileBuilder& builder, std::string& error) {
    bytes_ = builder.Write();
    scene = std::make_unique<jolp::JOLP3D>();
    if (!scene->LoadBytes(bytes_, "picture scene", gl.device.get())) {
        error = "the scene was refused";
        return false;
    }
    BindScene(*renderSystem, *scene, registry);
    return true;
}

void PictureRig::Frame(float t, bool withLights) {
    jolp::GfxDevice& device = *gl.device;
    device.BeginScene();
    device.SetViewport(jolp::Viewport{0, 0, device.BackBufferWidth(), device.BackBufferHeight(), 0.0f, 1.0f});
    device.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
    if (scene) {
        scene->Animate(jolp::MatrixIdentity(), t);
        scene->SubmitDrawItems(*renderSystem);
        if (withLights) scene->SubmitLights(*renderSystem);
    }
    renderSystem->RenderFrame();
    device.EndScene();
}

void KeepPictureOnFailure(const Picture& picture, const std::string& prefix, const std::string& what) {
    if (!::testing::Test::HasFailure() && !std::getenv("TARVEL_KEEP_PICTURES")) return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = test ? test->name() : "none";
    const std::string path = ::testing::TempDir() + prefix + "_" + name + "_" + what + ".png";
    if (picture.Save(path)) std::fprintf(stderr, "picture kept in %s\n", path.c_str());
}

Picture PictureRig::Read() {
    Picture p;
    p.width = static_cast<int32_t>(gl.device->BackBufferWidth());
    p.height = static_cast<int32_t>(gl.device->BackBufferHeight());
    p.rgb.assign(static_cast<size_t>(p.width) * p.height * 3, 0);
    if (!gl.device->ReadBackBuffer(p.rgb.data(), p.rgb.size())) p.rgb.clear();
    return p;
}

}  // namespace jolp::testing
