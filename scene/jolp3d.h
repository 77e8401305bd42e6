// jolp3d.h - jolp::JOLP3D, the scene in memory: the tables read from a scene
// file, the device vertex and index buffers of its meshes, the draw list, the
// camera, light and dummy name lookups, and the per-frame evaluation that
// animates it and hands it to the renderer.
//
// Loading reads the whole file, checks it with ReadSceneFile (scene_file.h)
// and only then builds the tables, so a refused file leaves the scene empty
// and usable: Animate, SubmitDrawItems and SubmitLights do nothing,
// FindDummy gives null and EvaluateCamera the default view. A refused file
// is reported as one line on stderr: "PATH: byte N: PROBLEM". Without a
// device (tools) the tables are built and the buffers are not made; such a
// scene submits no draw items.
//
// Ownership: the scene owns its tables, the device buffers of every Submesh,
// the draw list and the key lists. It does not own the device, the
// materials (SceneMaterial::material) or the render lights
// (SceneLight::renderLight): the renderer sets those two fields after the
// load and owns what they point at. The tables are public for the renderer
// and the tools to walk; nothing else in them is to be changed from outside,
// and their sizes never change after the load, so pointers into them stay
// valid.
//
// Per frame, in this order: EvaluateCamera, Animate, SubmitDrawItems,
// SubmitLights. None of them allocates.
#pragma once

#include "framework/resource.h"
#include "platform/gfx_device.h"
#include "scene/animation.h"
#include "scene/draw_submission.h"
#include "scene/mesh_chunks.h"
#include "scene/scene_file.h"
#include "scene/transform_math.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jolp {

struct DeviceWindow;

inline constexpr const char* kScenePath = "media/scenes/scene.JOLP3D";

struct Submesh {
    int32_t materialSlot = 0;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    std::unique_ptr<VertexBuffer> vertexBuffer;  // vertexCount x 56 bytes; null without a device
    std::unique_ptr<IndexBuffer> indexBuffer;    // indexCount 32-bit indices; null without a device
    // The triangles in spatial runs, each drawn as its own item with its own
    // bounds: one chunk for a small submesh, several for a large one (whose
    // indices are reordered into them at the load).
    std::vector<MeshChunk> chunks;
};

struct Mesh {
    std::vector<Submesh> submeshes;
};

using NameMap = std::map<std::string, std::string, std::less<>>;

struct SceneMaterial {
    std::string name;
    std::vector<int32_t> subMaterials;  // empty for a leaf material
    std::string shaderName;             // empty for a multi-material
    NameMap parameters;                 // the last pair of a name wins
    Material* material = nullptr;  // set by the renderer; not owned

    // The parameter's text; empty when absent.
    const std::string& GetString(std::string_view key) const;
    // True exactly when the parameter is present and reads "true".
    bool GetBool(std::string_view key) const;
    // The leading decimal number of the text as C's atof reads it in the C
    // locale, whatever the process locale; 0 when absent or not a number.
    float GetFloat(std::string_view key) const;
};

struct SceneObject {
    std::string name;
    int32_t meshIndex = 0;
    int32_t materialIndex = 0;
    int32_t transformTrack = 0;
    Matrix world;         // as of the last Animate
    Matrix worldInverse;  // inverse of world
};

struct SceneCamera {
    std::string name;
    int32_t transformTrack = 0;
    int32_t fovTrack = 0;
};

struct SceneLight {
    std::string name;  // "shadow", "volume", "cube" in it select the kind
    int32_t positionTrack = 0;
    int32_t colorTrack = 0;
    int32_t radiusTrack = 0;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 color{0.0f, 0.0f, 0.0f};
    float radius = 0.0f;
    RenderLight* renderLight = nullptr;  // set by the renderer; not owned

    bool CastsShadow() const { return name.find("shadow") != std::string::npos; }
    bool IsVolume() const { return name.find("volume") != std::string::npos; }
    bool UsesLightCube() const { return name.find("cube") != std::string::npos; }
};

struct SceneDummy {
    std::string name;
    int32_t transformTrack = 0;
    NameMap properties;
    Transform transform{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}};
    Matrix matrix;
    Matrix matrixInverse;
};

// One entry of the draw list; the end marker has all four fields null.
struct DrawListEntry {
    DrawListEntry* next = nullptr;
    SceneObject* object = nullptr;
    Submesh* submesh = nullptr;
    SceneMaterial* sceneMaterial = nullptr;
};

// The vertex layout of every scene mesh: position, normal, texture
// coordinate, tangent, binormal (stream 0, 56-byte stride).
std::span<const VertexElement> SceneVertexElements();
// The one declaration shared by all scenes, created on the device on first
// use and kept for the process; null when it does not exist yet and no
// device is given or the device refuses it.
const VertexDeclaration* SceneVertexDeclaration(GfxDevice* device);

class JOLP3D final : public Resource {
public:
    JOLP3D();
    ~JOLP3D() override;
    JOLP3D(const JOLP3D&) = delete;
    JOLP3D& operator=(const JOLP3D&) = delete;

    // Loads kScenePath on the window's device.
    bool Load(DeviceWindow& deviceWindow);
    // Loads the file at path; device may be null (no buffers are made).
    bool Load(const std::string& path, GfxDevice* device);
    // Loads a file image; name is what a refusal message calls it.
    bool LoadBytes(std::span<const uint8_t> bytes, const std::string& name, GfxDevice* device);
    // Why the last load failed, one line naming the file ("PATH: byte N:
    // problem"); empty after a load that succeeded.
    std::string loadError;
    // Whether a failed load also prints its line on stderr as a warning
    // (the demo's way); a tool that reports it itself turns this off.
    bool reportOnStderr = true;

    int32_t LeafMaterialCount() const { return static_cast<int32_t>(leafMaterials.size()); }
    int32_t LightCount() const { return static_cast<int32_t>(lights.size()); }

    // The dummy the name gives (the last of that name), or null.
    SceneDummy* FindDummy(std::string_view name);

    // Evaluates every object (world = local x root), light and dummy at t.
    void Animate(const Matrix& root, float t);
    // The named camera at t, or the default view when there is none.
    CameraView EvaluateCamera(std::string_view name, float t, float aspect, float nearPlane, float farPlane);

    void SubmitDrawItems(DrawSink& sink) const;
    // Copies each light's values into its render light and submits it;
    // lights without a render light are left out.
    void SubmitLights(DrawSink& sink) const;

    // Track values at t; a neutral value (0, zero vector, identity) for an
    // index outside the table or a track of another kind.
    float EvaluateScalar(int32_t track, float t);
    Vec3 EvaluateVector(int32_t track, float t);
    Transform EvaluateTransform(int32_t track, float t);

    GfxDevice* device = nullptr;  // not owned
    std::vector<Mesh> meshes;
    std::vector<SceneMaterial> materials;
    std::vector<SceneMaterial*> leafMaterials;
    std::vector<SceneObject> objects;
    std::vector<SceneLight> lights;
    std::map<std::string, int32_t, std::less<>> lightIndex;
    std::map<std::string, SceneCamera, std::less<>> cameras;
    std::vector<AnimationTrack> tracks;
    std::vector<SceneDummy> dummies;
    std::map<std::string, int32_t, std::less<>> dummyIndex;
    DrawListEntry* drawList = nullptr;
    float startTime = 0.0f;
    float endTime = 0.0f;

private:
    void Clear();
    void Report(const std::string& line);
    bool Build(const SceneFile& file, GfxDevice* device, const std::string& name);
    bool MakeBuffers(Submesh& submesh, const SceneFileSubmesh& source, std::span<const uint32_t> indices,
                     GfxDevice& device, const std::string& name);
    void BuildDrawList();

    std::vector<DrawListEntry> drawEntries_;
};

}  // namespace jolp
