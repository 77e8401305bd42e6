// scene_file.h - the JOLP3D scene file as bytes: its reader, its writer, and
// SceneFile, the faithful in-memory image of one file (every list in file
// order, duplicates kept) that both work on.
//
// Layout (all little-endian, no padding): "K3DF", uint32 version 170, then
// seven sections, each an int32 count followed by its items: meshes,
// materials, objects, cameras, lights, dummies, tracks. Strings are a uint32
// byte count and the bytes. Key k of every track lies at k x 0.1 s (0.1 added
// in single precision after each key).
//
// ReadSceneFile checks everything a file can get wrong and refuses the whole
// file on the first fault, naming its byte offset: a read past the end, a
// count larger than the bytes left can hold, a negative sub-material count,
// a submesh with no vertices or fewer than 3 indices, an index out of range
// (mesh, material, sub-material, track, vertex), a track referenced as the
// wrong kind, and a track of kind 0, 1 or 2 without keys. A track of another
// kind is kept with its key count and no key data, and is refused only where
// something refers to it. No allocation is sized by a count before the bytes
// left have been shown to hold that many items. A file it accepts can be
// animated and drawn without any further checks.
//
// Ownership: a SceneFile read from bytes points into those bytes for the
// vertex and index data (SceneFileSubmesh::vertexBytes, indexBytes); the
// caller keeps them alive while the SceneFile is used. SceneFileBuilder owns
// the data it adds. WriteSceneFile(ReadSceneFile(b)) == b for every file
// WriteSceneFile made; counts of zero or less are written back as 0 and
// trailing bytes are not kept.
#pragma once

#include "scene/transform_math.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace jolp {

inline constexpr char kSceneFileMagic[4] = {'K', '3', 'D', 'F'};
inline constexpr uint32_t kSceneFileVersion = 170;
inline constexpr uint32_t kSceneVertexSize = 56;
inline constexpr float kSceneKeyInterval = 0.1f;

// One vertex as stored in the file and in the vertex buffers.
struct SceneVertex {
    Vec3 position;
    Vec3 normal;
    float u = 0.0f;
    float v = 0.0f;
    Vec3 tangent;
    Vec3 binormal;
};
static_assert(sizeof(SceneVertex) == kSceneVertexSize);

struct SceneFileSubmesh {
    int32_t materialSlot = 0;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    // vertexCount x 56 bytes of SceneVertex, indexCount x 4 bytes of uint32,
    // both little-endian as in the file.
    std::span<const uint8_t> vertexBytes;
    std::span<const uint8_t> indexBytes;
    uint64_t offset = 0;  // where the submesh starts in the file (0 when built)
};

struct SceneFileMesh {
    std::vector<SceneFileSubmesh> submeshes;
};

using SceneFileProperties = std::vector<std::pair<std::string, std::string>>;

struct SceneFileMaterial {
    std::string name;
    std::vector<int32_t> subMaterials;  // empty: a leaf material
    std::string shaderName;             // leaf only
    SceneFileProperties parameters;     // leaf only, in file order
};

struct SceneFileObject {
    std::string name;
    int32_t mesh = 0;
    int32_t material = 0;
    int32_t transformTrack = 0;
};

struct SceneFileCamera {
    std::string name;
    int32_t transformTrack = 0;
    int32_t fovTrack = 0;
};

struct SceneFileLight {
    std::string name;
    int32_t positionTrack = 0;
    int32_t colorTrack = 0;
    int32_t radiusTrack = 0;
};

struct SceneFileDummy {
    std::string name;
    int32_t transformTrack = 0;
    SceneFileProperties properties;
};

struct SceneFileTrack {
    int32_t kind = 0;
    // As stored. For kinds 0, 1 and 2, values holds keyCount x 1, 3 or 10
    // floats (a Transform is position, rotation x y z w, scale); any other
    // kind has no key data.
    int32_t keyCount = 0;
    std::vector<float> values;
};

struct SceneFile {
    std::vector<SceneFileMesh> meshes;
    std::vector<SceneFileMaterial> materials;
    std::vector<SceneFileObject> objects;
    std::vector<SceneFileCamera> cameras;
    std::vector<SceneFileLight> lights;
    std::vector<SceneFileDummy> dummies;
    std::vector<SceneFileTrack> tracks;
};

struct SceneReadError {
    uint64_t offset = 0;
    std::string problem;
};

// Floats per key of a track kind; 0 for kinds that carry no keys.
uint32_t SceneKeyFloats(int32_t kind);

// Parses a whole file image. False with the first fault in error (and out
// left empty) when the file is not a scene file or its content is invalid.
bool ReadSceneFile(std::span<const uint8_t> bytes, SceneFile& out, SceneReadError& error);

// The largest scene file read: far beyond any scene a demo plays, small
// enough that a wrong file cannot exhaust memory.
inline constexpr uint64_t kMaxSceneFileBytes = uint64_t{512} << 20;

// Reads the regular file at path, at most kMaxSceneFileBytes, into memory.
// False with a reason when it is no regular file (a FIFO, /dev/zero), too
// large, or cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);

// "PATH: byte N: PROBLEM", the one line a refused file reports.
std::string FormatSceneError(const std::string& path, const SceneReadError& error);

// The latest key time over the tracks of kinds 0, 1 and 2, as the reader
// computes it: (time after the last key - 0.1) in single precision; 0 when
// there is none.
float SceneFileEndTime(const SceneFile& file);

// The whole file image. Writes every field as it stands, valid or not, so
// tests can make faulty files too.
std::vector<uint8_t> WriteSceneFile(const SceneFile& file);
// False with a reason when the file cannot be written.
bool WriteSceneFileTo(const std::string& path, const SceneFile& file, std::string& reason);

// Builds a SceneFile from typed values, owning the vertex and index data.
// Adders return the new item's index in its table.
class SceneFileBuilder {
public:
    SceneFileBuilder() = default;
    SceneFileBuilder(const SceneFileBuilder&) = delete;
    SceneFileBuilder& operator=(const SceneFileBuilder&) = delete;

    int32_t AddMesh();
    // Appends a submesh to mesh `mesh`, which must exist.
    void AddSubmesh(int32_t mesh, int32_t materialSlot, std::span<const SceneVertex> vertices,
                    std::span<const uint32_t> indices);
    int32_t AddLeafMaterial(std::string name, std::string shaderName, SceneFileProperties parameters = {});
    int32_t AddMultiMaterial(std::string name, std::vector<int32_t> subMaterials);
    int32_t AddObject(std::string name, int32_t mesh, int32_t material, int32_t transformTrack);
    int32_t AddCamera(std::string name, int32_t transformTrack, int32_t fovTrack);
    int32_t AddLight(std::string name, int32_t positionTrack, int32_t colorTrack, int32_t radiusTrack);
    int32_t AddDummy(std::string name, int32_t transformTrack, SceneFileProperties properties = {});
    int32_t AddScalarTrack(std::span<const float> keys);
    int32_t AddVectorTrack(std::span<const Vec3> keys);
    int32_t AddTransformTrack(std::span<const Transform> keys);
    // A track of any kind code with raw key floats (keyCount as given).
    int32_t AddRawTrack(int32_t kind, int32_t keyCount, std::vector<float> values = {});

    SceneFile& File() { return file_; }
    const SceneFile& File() const { return file_; }
    std::vector<uint8_t> Write() const { return WriteSceneFile(file_); }

private:
    SceneFile file_;
    std::deque<std::vector<uint8_t>> storage_;
};

// A small but complete scene: a cube on a leaf material, a multi-material
// quad, a camera "Camera01", lights "Omni_shadow" and "Omni_volume", a dummy
// "Dummy01", each animated over two seconds.
void BuildSampleScene(SceneFileBuilder& builder);

}  // namespace jolp
