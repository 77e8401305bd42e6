// picture_scene.h - small scenes drawn by the real renderer on the headless
// GL device, for the picture tests and the render benchmark: box, floor and
// panel meshes in our scene file, solid-colour textures written by our own
// writers, a camera aimed at a point, and a rig that starts a render system,
// binds a scene to it, draws frames as the program does and reads the back
// buffer back.
#pragma once

#include "framework/resource_registry.h"
#include "framework/texture.h"
#include "platform/letterbox.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "tests/support/headless_gl.h"
#include "tests/support/temp_dir.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jolp::testing {

// Texture file names the helpers write and register.
inline constexpr const char* kWhiteTex = "white.png";
inline constexpr const char* kBlackTex = "black.png";
inline constexpr const char* kFlatNormalTex = "flatNormal.png";  // 128,128,255, height 128 in alpha
inline constexpr const char* kGreyTex = "grey.png";

jolp::Vec3 Add(const jolp::Vec3& a, const jolp::Vec3& b);
jolp::Vec3 Sub(const jolp::Vec3& a, const jolp::Vec3& b);
jolp::Vec3 Scale(const jolp::Vec3& a, float s);
jolp::Vec3 Cross(const jolp::Vec3& a, const jolp::Vec3& b);
float Dot(const jolp::Vec3& a, const jolp::Vec3& b);
jolp::Vec3 Normalized(const jolp::Vec3& a);

// A one-sided quad as a submesh of mesh: centred on centre, facing normal,
// `up` pointing to the top of its texture; clockwise seen from the front,
// which is the front face.
void AddQuad(jolp::SceneFileBuilder& builder, int32_t mesh, const jolp::Vec3& centre, const jolp::Vec3& normal,
             const jolp::Vec3& up, float halfWidth, float halfHeight);
// A closed box of the given half extents around the origin: six quads
// facing outwards.
int32_t AddBoxMesh(jolp::SceneFileBuilder& builder, const jolp::Vec3& half);
// A square of half size `half` in the plane y = 0, facing +y.
int32_t AddFloorMesh(jolp::SceneFileBuilder& builder, float half);
// A quad of the given half extents in the plane z = 0, facing +z.
int32_t AddPanelMesh(jolp::SceneFileBuilder& builder, float halfWidth, float halfHeight);

// A one-key transform track.
int32_t AddPlacement(jolp::SceneFileBuilder& builder, const jolp::Vec3& position,
                     const jolp::Vec3& scale = {1.0f, 1.0f, 1.0f},
                     const jolp::Quat& rotation = {0.0f, 0.0f, 0.0f, 1.0f});
// A light that stands still: one key each for position, colour and radius.
int32_t AddStillLight(jolp::SceneFileBuilder& builder, const std::string& name, const jolp::Vec3& position,
                      const jolp::Vec3& colour, float radius);

// Lambert-Blinn parameters with the given diffuse map, the flat normal map,
// a black specular map and white ambient occlusion.
jolp::SceneFileProperties SurfaceParameters(const std::string& diffuse = kWhiteTex);
// The same with a parallax depth and texture size.
jolp::SceneFileProperties ParallaxParameters(const std::string& diffuse = kWhiteTex);

// Writes a w x h PNG of one RGBA colour; false when it cannot be written.
bool WriteSolidPng(const std::string& path, std::array<uint8_t, 4> rgba, int size = 4);
// Writes an A8R8G8B8 DDS cube map with one RGB colour per face (+X, -X, +Y,
// -Y, +Z, -Z); false with a reason when it cannot be written.
bool WriteSolidCube(const std::string& path, const std::array<std::array<uint8_t, 3>, 6>& faces,
                    std::string& error);

// A camera at eye looking at target, the world's +y up.
jolp::CameraView LookAt(const jolp::Vec3& eye, const jolp::Vec3& target, float fov, float aspect,
                        float nearPlane = 0.5f, float farPlane = 200.0f);

struct Pixel {
    int32_t x = 0;
    int32_t y = 0;
    bool inFront = false;
};

// Where a world point lands in the back buffer for the camera, drawn into
// the picture rectangle.
Pixel Project(const jolp::CameraView& camera, const jolp::Vec3& point, const jolp::Rect& picture);

// An RGB8 picture read back from the device, top row first.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* At(int32_t x, int32_t y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    // Mean of one channel (0..2) or of all three (-1) over the square of
    // side 2r+1 around (x, y), clamped to the picture.
    double Mean(int32_t x, int32_t y, int32_t r = 2, int channel = -1) const;
    // Writes the picture as a PNG (for looking at a failure).
    bool Save(const std::string& path) const;
};

// Saves the picture as TempDir()/PREFIX_TEST_WHAT.png when the running test
// has failed (always, with TARVEL_KEEP_PICTURES set), and says where.
void KeepPictureOnFailure(const Picture& picture, const std::string& prefix, const std::string& what);

// A render system on a headless GL device with a back buffer of the given
// size, the picture in `picture` (the whole back buffer when empty), and
// the standard textures in its registry.
class PictureRig {
public:
    PictureRig(uint32_t width, uint32_t height, jolp::Rect picture = {});
    ~PictureRig();

    bool ok() const { return gl.ok(); }
    // Loads the effects (from sourceDir) and creates the targets, with the
    // light cube taken from the rig's temporary folder when one was written
    // there (as lightCube.dds). False with the reason in error.
    bool Start(const std::string& sourceDir, std::string& error);
    // Registers a texture file of the temporary folder under its file name.
    bool AddTexture(const std::string& name, std::string& error);
    bool AddCubeTexture(const std::string& name, std::string& error);
    // Loads the scene's bytes and binds it to the render system.
    bool Load(const jolp::SceneFileBuilder& builder, std::string& error);

    // One frame as the program draws it, at scene time t. Without lights
    // the scene's lights are not submitted.
    void Frame(float t = 0.0f, bool withLights = true);
    Picture Read();

    jolp::testing::HeadlessGl gl;
    jolp::Rect window;
    jolp::Rect picture;
    // What Start loads: the standard files unless a test names others.
    RenderFiles files;
    jolp::testing::TempDir dir;
    jolp::ResourceRegistry registry;
    std::unique_ptr<jolp::JOLP3D> scene;
    std::unique_ptr<RenderSystem> renderSystem;

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace jolp::testing
