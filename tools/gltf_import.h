// gltf_import.h - a glTF 2.0 file (.gltf with its files beside it, or .glb)
// turned into a JOLP3D scene and the textures it names.
//
// What becomes what:
//   - every triangle primitive a submesh (strips and fans made lists; points
//     and lines skipped with a warning); a mesh used by several nodes is one
//     mesh and several objects; tangents and binormals computed where the
//     file has none
//   - every node with a mesh an object, its world transform (the hierarchy
//     composed) its transform track
//   - every glTF material a leaf material: the shader from its extras
//     ("shader"), else "qo_additive.fx" for alphaMode BLEND and
//     "qo_lambertblinn.fx" otherwise; base colour, normal and occlusion
//     textures as "diffuseTex", "normalTex" and "ambientOclusionTex"; small
//     generated textures where the material has none of these (its base
//     colour factor, a flat normal map, no occlusion), since the surface
//     effects read all three; the other extras as parameters
//   - perspective cameras under their node's name; KHR_lights_punctual point
//     and spot lights as point lights under their node's name (see
//     LightFromGltf for the colour and radius rule); nodes with nothing of
//     these as dummies with their extras as properties
//   - translation, rotation and scale channels of all animations, played
//     together, sampled every 0.1 s over the longest of them
//
// Axes and units: glTF is right-handed, Y up, in metres, and so is the
// scene: the renderer's view is right-handed with +Y up and the camera
// looking down its -Z axis, as a glTF camera does. Positions, rotations and
// scales are therefore taken unchanged, with three exceptions:
//   - a camera's rotation is stored inverted, since the scene keeps a
//     camera's world-to-view rotation (its axes are the unit axes rotated
//     by the inverse of the stored rotation): SceneCameraTransform;
//   - triangles are turned round (corners a, c, b), since glTF's front
//     faces are counter-clockwise on screen and the renderer's clockwise;
//   - the binormal runs towards increasing v (down the image), where glTF's
//     bitangent runs up it, so normal maps get "swapNormalY" "true".
// Texture coordinates need no change: both have v = 0 at the image's top.
//
// Nothing here writes files: the result is a SceneFileBuilder and the
// texture files' bytes, for WriteImportFolder (import_folder.h).
#pragma once

#include "scene/scene_file.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace jolp::tools {

struct GltfImportOptions {
    // Multiplies every light's colour (after the rule of LightFromGltf).
    float lightScale = 1.0f;
    // Above 0: every light's radius, in place of the rule.
    float lightRadius = 0.0f;
    // 0 or more: the seconds of animation sampled, in place of the longest
    // animation's length.
    float length = -1.0f;
};

struct ImportedTexture {
    std::string name;  // the file name under media/texs, unique
    std::vector<uint8_t> bytes;
};

struct GltfImport {
    SceneFileBuilder scene;
    std::vector<ImportedTexture> textures;
    std::vector<std::string> summary;   // what was imported, one line each
    std::vector<std::string> warnings;  // what was skipped, and why
};

// The longest animation that is sampled: an hour of keys at 0.1 s.
inline constexpr float kMaxAnimationSeconds = 3600.0f;
// The most elements one accessor may hold (vertices, indices, keys).
inline constexpr uint64_t kMaxAccessorElements = uint64_t{1} << 26;
// The largest input file and the largest file it refers to.
inline constexpr uint64_t kMaxGltfFileBytes = uint64_t{1} << 30;
// The deepest its JSON's arrays and objects may nest. The JSON parser and
// tinygltf's conversion of what it parsed recurse once a level, so a few
// hundred KB of '[' would run them out of stack; real files nest about ten
// deep, their extras a few more.
inline constexpr int kMaxGltfJsonDepth = 128;
// The aspect the demo shows every camera at: a field-of-view track holds
// the vertical field of view times this (the scene divides it back out).
inline constexpr float kDemoAspect = 16.0f / 9.0f;

// Reads the glTF file at path (and the buffers and images it names, which
// must lie in its folder) into out. False with one line naming the file and
// what is wrong with it.
bool ImportGltfFile(const std::string& path, const GltfImportOptions& options, GltfImport& out, std::string& error);

// The same from the bytes of a .gltf or .glb file; name stands for the file
// in messages. Buffers and images outside the bytes (file URIs) are refused.
bool ImportGltfBytes(std::span<const uint8_t> bytes, const std::string& name, const GltfImportOptions& options,
                     GltfImport& out, std::string& error);

// The scene's camera transform for a camera whose world transform in the
// file has this position and rotation: the same position, the inverse
// rotation, unit scale.
Transform SceneCameraTransform(const Vec3& position, const Quat& worldRotation);

// The format's light for a glTF light: colour and radius. With a range the
// radius is that range. Without one (exporters write none) the brightest
// light of the file reaches across the whole scene, its radius the diagonal
// of the box around all geometry, and a light k times weaker reaches
// sqrt(k) times less far, as an inverse-square falloff would have it:
// radius = sceneDiagonal * sqrt(intensity / brightest). The colour is the
// light's colour, full strength: its intensity is spent on the radius, since
// exporters' intensities differ in unit by orders of magnitude (Blender
// writes hundreds of thousands of candela). lightScale multiplies the
// colour; a lightRadius above 0 replaces the radius.
struct LightValues {
    Vec3 color;
    float radius = 0.0f;
};
LightValues LightFromGltf(const Vec3& color, double intensity, double range, double brightest, float sceneDiagonal,
                          const GltfImportOptions& options);

}  // namespace jolp::tools
