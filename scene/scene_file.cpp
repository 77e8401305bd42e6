#include "scene/scene_file.h"

#include "platform/file_write.h"

#include "platform/file_read.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jolp {

static_assert(std::endian::native == std::endian::little, "the scene file is read by copying little-endian bytes");

namespace {

// Smallest number of bytes one item of each list can take; a count is
// accepted only when the bytes left can hold that many items.
constexpr uint64_t kMinMeshBytes = 4;
constexpr uint64_t kMinSubmeshBytes = 12 + kSceneVertexSize + 3 * 4;
constexpr uint64_t kMinMaterialBytes = 12;  // name, count, one sub-material index
constexpr uint64_t kMinObjectBytes = 16;
constexpr uint64_t kMinCameraBytes = 12;
constexpr uint64_t kMinLightBytes = 16;
constexpr uint64_t kMinDummyBytes = 12;
constexpr uint64_t kMinTrackBytes = 8;
constexpr uint64_t kMinPairBytes = 8;

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

const char* KindName(int32_t kind) {
    switch (kind) {
        case 0: return "scalar";
        case 1: return "vector";
        case 2: return "transform";
        default: return "unknown";
    }
}

class Reader {
public:
    Reader(std::span<const uint8_t> bytes, SceneReadError& error) : bytes_(bytes), error_(error) {}

    uint64_t Offset() const { return pos_; }
    uint64_t Left() const { return bytes_.size() - pos_; }

    bool Fail(uint64_t offset, std::string problem) {
        error_.offset = offset;
        error_.problem = std::move(problem);
        return false;
    }

    bool Need(uint64_t n, const char* what) {
        if (n <= Left()) return true;
        return Fail(pos_, std::string("file ends inside ") + what + " (" + std::to_string(n) + " bytes needed, " +
                              std::to_string(Left()) + " left)");
    }

    bool U32(uint32_t& v, const char* what) {
        if (!Need(4, what)) return false;
        std::memcpy(&v, bytes_.data() + pos_, 4);
        pos_ += 4;
        return true;
    }

    bool I32(int32_t& v, const char* what) {
        if (!Need(4, what)) return false;
        std::memcpy(&v, bytes_.data() + pos_, 4);
        pos_ += 4;
        return true;
    }

    bool String(std::string& s, const char* what) {
        const uint64_t at = pos_;
        uint32_t n = 0;
        if (!U32(n, what)) return false;
        if (n > Left()) {
            return Fail(at, std::string(what) + " of " + std::to_string(n) + " bytes runs past the end of the file (" +
                                std::to_string(Left()) + " left)");
        }
        s.assign(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
        pos_ += n;
        return true;
    }

    std::span<const uint8_t> Bytes(uint64_t n) {
        std::span<const uint8_t> s = bytes_.subspan(pos_, n);
        pos_ += n;
        return s;
    }

    // Reads a count of items and checks that the bytes left can hold that
    // many items of at least itemBytes each; a count of zero or less is 0.
    bool Count(int32_t& count, uint64_t itemBytes, const char* what) {
        const uint64_t at = pos_;
        if (!I32(count, what)) return false;
        if (count <= 0) {
            count = 0;
            return true;
        }
        if (static_cast<uint64_t>(count) * itemBytes > Left()) {
            return Fail(at, std::string(what) + " " + std::to_string(count) + " needs at least " +
                                std::to_string(static_cast<uint64_t>(count) * itemBytes) + " bytes, " +
                                std::to_string(Left()) + " left");
        }
        return true;
    }

    bool Pairs(SceneFileProperties& pairs, const char* countWhat, const char* nameWhat, const char* valueWhat) {
        int32_t n = 0;
        if (!Count(n, kMinPairBytes, countWhat)) return false;
        pairs.reserve(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) {
            std::string name, value;
            if (!String(name, nameWhat) || !String(value, valueWhat)) return false;
            pairs.emplace_back(std::move(name), std::move(value));
        }
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    SceneReadError& error_;
    uint64_t pos_ = 0;
};

// A track index some record holds, checked once the track table is read.
struct TrackReference {
    uint64_t offset;
    int32_t track;
    int32_t kind;
    const char* owner;  // "object", "camera", ...
    size_t ownerIndex;
    const char* field;  // "transform track", ...
};

bool ReadSubmesh(Reader& r, SceneFileSubmesh& sub) {
    sub.offset = r.Offset();
    if (!r.I32(sub.materialSlot, "submesh material slot")) return false;
    const uint64_t countsAt = r.Offset();
    if (!r.U32(sub.vertexCount, "submesh vertex count")) return false;
    if (!r.U32(sub.indexCount, "submesh index count")) return false;
    if (sub.vertexCount == 0) return r.Fail(countsAt, "submesh has no vertices");
    if (sub.indexCount < 3) {
        return r.Fail(countsAt + 4, "submesh has " + std::to_string(sub.indexCount) + " indices, at least 3 needed");
    }
    const uint64_t vertexBytes = uint64_t{sub.vertexCount} * kSceneVertexSize;
    const uint64_t indexBytes = uint64_t{sub.indexCount} * 4;
    if (vertexBytes > UINT32_MAX) {
        return r.Fail(countsAt, std::to_string(sub.vertexCount) + " vertices do not fit in one vertex buffer");
    }
    if (indexBytes > UINT32_MAX) {
        return r.Fail(countsAt + 4, std::to_string(sub.indexCount) + " indices do not fit in one index buffer");
    }
    if (vertexBytes + indexBytes > r.Left()) {
        return r.Fail(countsAt, "submesh of " + std::to_string(sub.vertexCount) + " vertices and " +
                                    std::to_string(sub.indexCount) + " indices needs " +
                                    std::to_string(vertexBytes + indexBytes) + " bytes, " + std::to_string(r.Left()) +
                                    " left");
    }
    sub.vertexBytes = r.Bytes(vertexBytes);
    const uint64_t indicesAt = r.Offset();
    sub.indexBytes = r.Bytes(indexBytes);

    // Branch-free maximum first; the slow search for the culprit runs only
    // on a bad file.
    const uint8_t* p = sub.indexBytes.data();
    uint32_t highest = 0;
    for (uint32_t i = 0; i < sub.indexCount; ++i) {
        uint32_t index;
        std::memcpy(&index, p + 4 * uint64_t{i}, 4);
        highest = std::max(highest, index);
    }
    if (highest >= sub.vertexCount) {
        for (uint32_t i = 0; i < sub.indexCount; ++i) {
            uint32_t index;
            std::memcpy(&index, p + 4 * uint64_t{i}, 4);
            if (index >= sub.vertexCount) {
                return r.Fail(indicesAt + 4 * uint64_t{i}, "index " + std::to_string(i) + " is " +
                                                               std::to_string(index) + ", the submesh has " +
                                                               std::to_string(sub.vertexCount) + " vertices");
            }
        }
    }
    return true;
}

bool ReadMaterial(Reader& r, SceneFileMaterial& m) {
    if (!r.String(m.name, "material name")) return false;
    const uint64_t countAt = r.Offset();
    int32_t subCount = 0;
    if (!r.I32(subCount, "sub-material count")) return false;
    if (subCount < 0) return r.Fail(countAt, "negative sub-material count " + std::to_string(subCount));
    if (subCount > 0) {
        if (uint64_t{static_cast<uint32_t>(subCount)} * 4 > r.Left()) {
            return r.Fail(countAt, "sub-material count " + std::to_string(subCount) + " needs " +
                                       std::to_string(uint64_t{static_cast<uint32_t>(subCount)} * 4) + " bytes, " +
                                       std::to_string(r.Left()) + " left");
        }
        m.subMaterials.resize(static_cast<size_t>(subCount));
        std::span<const uint8_t> raw = r.Bytes(uint64_t{static_cast<uint32_t>(subCount)} * 4);
        std::memcpy(m.subMaterials.data(), raw.data(), raw.size());
        return true;
    }
    if (!r.String(m.shaderName, "shader name")) return false;
    return r.Pairs(m.parameters, "parameter count", "parameter name", "parameter value");
}

bool ReadTrack(Reader& r, SceneFileTrack& t, size_t index) {
    if (!r.I32(t.kind, "track kind")) return false;
    const uint64_t countAt = r.Offset();
    if (!r.I32(t.keyCount, "key count")) return false;
    const uint32_t floats = SceneKeyFloats(t.kind);
    if (floats == 0) return true;  // an unknown kind: no key data follows
    if (t.keyCount <= 0) {
        return r.Fail(countAt, "track " + std::to_string(index) + " (" + KindName(t.kind) + ") has no keys");
    }
    const uint64_t bytes = uint64_t{static_cast<uint32_t>(t.keyCount)} * floats * 4;
    if (bytes > r.Left()) {
        return r.Fail(countAt, "key count " + std::to_string(t.keyCount) + " of track " + std::to_string(index) +
                                   " needs " + std::to_string(bytes) + " bytes, " + std::to_string(r.Left()) +
                                   " left");
    }
    t.values.resize(static_cast<size_t>(bytes / 4));
    std::span<const uint8_t> raw = r.Bytes(bytes);
    std::memcpy(t.values.data(), raw.data(), raw.size());
    return true;
}

bool ReadAll(Reader& r, SceneFile& f) {
    // Header.
    if (!r.Need(8, "the header")) return false;
    std::span<const uint8_t> magic = r.Bytes(4);
    if (std::memcmp(magic.data(), kSceneFileMagic, 4) != 0) return r.Fail(0, "not a scene file (no \"K3DF\" magic)");
    uint32_t version = 0;
    r.U32(version, "version");
    if (version != kSceneFileVersion) {
        return r.Fail(4, "version " + std::to_string(version) + ", expected " + std::to_string(kSceneFileVersion));
    }

    // 1. Meshes.
    int32_t n = 0;
    if (!r.Count(n, kMinMeshBytes, "mesh count")) return false;
    f.meshes.resize(static_cast<size_t>(n));
    for (SceneFileMesh& mesh : f.meshes) {
        int32_t subs = 0;
        if (!r.Count(subs, kMinSubmeshBytes, "submesh count")) return false;
        mesh.submeshes.resize(static_cast<size_t>(subs));
        for (SceneFileSubmesh& sub : mesh.submeshes) {
            if (!ReadSubmesh(r, sub)) return false;
        }
    }

    // 2. Materials; sub-material indices may point forward, so they are
    // checked once the table is complete.
    if (!r.Count(n, kMinMaterialBytes, "material count")) return false;
    f.materials.resize(static_cast<size_t>(n));
    std::vector<uint64_t> subListAt(f.materials.size());
    for (size_t i = 0; i < f.materials.size(); ++i) {
        const uint64_t at = r.Offset();
        if (!ReadMaterial(r, f.materials[i])) return false;
        subListAt[i] = at + 4 + f.materials[i].name.size() + 4;
    }
    const int64_t materialCount = static_cast<int64_t>(f.materials.size());
    for (size_t i = 0; i < f.materials.size(); ++i) {
        const std::vector<int32_t>& subs = f.materials[i].subMaterials;
        for (size_t k = 0; k < subs.size(); ++k) {
            if (subs[k] < 0 || subs[k] >= materialCount) {
                return r.Fail(subListAt[i] + 4 * k, "sub-material " + std::to_string(k) + " of material " +
                                                        std::to_string(i) + " " + Quoted(f.materials[i].name) +
                                                        " is " + std::to_string(subs[k]) + ", the file has " +
                                                        std::to_string(materialCount) + " materials");
            }
        }
    }

    std::vector<TrackReference> refs;

    // 3. Objects.
    if (!r.Count(n, kMinObjectBytes, "object count")) return false;
    f.objects.resize(static_cast<size_t>(n));
    refs.reserve(f.objects.size());
    for (size_t i = 0; i < f.objects.size(); ++i) {
        SceneFileObject& o = f.objects[i];
        if (!r.String(o.name, "object name")) return false;
        const uint64_t at = r.Offset();
        if (!r.I32(o.mesh, "object mesh index") || !r.I32(o.material, "object material index") ||
            !r.I32(o.transformTrack, "object transform track")) {
            return false;
        }
        if (o.mesh < 0 || o.mesh >= static_cast<int64_t>(f.meshes.size())) {
            return r.Fail(at, "mesh index " + std::to_string(o.mesh) + " of object " + std::to_string(i) + " " +
                                  Quoted(o.name) + " is out of range (" + std::to_string(f.meshes.size()) +
                                  " meshes)");
        }
        if (o.material < 0 || o.material >= materialCount) {
            return r.Fail(at + 4, "material index " + std::to_string(o.material) + " of object " + std::to_string(i) +
                                      " " + Quoted(o.name) + " is out of range (" + std::to_string(materialCount) +
                                      " materials)");
        }
        refs.push_back({at + 8, o.transformTrack, 2, "object", i, "transform track"});
    }

    // 4. Cameras.
    if (!r.Count(n, kMinCameraBytes, "camera count")) return false;
    f.cameras.resize(static_cast<size_t>(n));
    for (size_t i = 0; i < f.cameras.size(); ++i) {
        SceneFileCamera& c = f.cameras[i];
        if (!r.String(c.name, "camera name")) return false;
        const uint64_t at = r.Offset();
        if (!r.I32(c.transformTrack, "camera transform track") || !r.I32(c.fovTrack, "camera field-of-view track")) {
            return false;
        }
        refs.push_back({at, c.transformTrack, 2, "camera", i, "transform track"});
        refs.push_back({at + 4, c.fovTrack, 0, "camera", i, "field-of-view track"});
    }

    // 5. Lights.
    if (!r.Count(n, kMinLightBytes, "light count")) return false;
    f.lights.resize(static_cast<size_t>(n));
    for (size_t i = 0; i < f.lights.size(); ++i) {
        SceneFileLight& l = f.lights[i];
        if (!r.String(l.name, "light name")) return false;
        const uint64_t at = r.Offset();
        if (!r.I32(l.positionTrack, "light position track") || !r.I32(l.colorTrack, "light colour track") ||
            !r.I32(l.radiusTrack, "light radius track")) {
            return false;
        }
        refs.push_back({at, l.positionTrack, 1, "light", i, "position track"});
        refs.push_back({at + 4, l.colorTrack, 1, "light", i, "colour track"});
        refs.push_back({at + 8, l.radiusTrack, 0, "light", i, "radius track"});
    }

    // 6. Dummies.
    if (!r.Count(n, kMinDummyBytes, "dummy count")) return false;
    f.dummies.resize(static_cast<size_t>(n));
    for (size_t i = 0; i < f.dummies.size(); ++i) {
        SceneFileDummy& d = f.dummies[i];
        if (!r.String(d.name, "dummy name")) return false;
        const uint64_t at = r.Offset();
        if (!r.I32(d.transformTrack, "dummy transform track")) return false;
        refs.push_back({at, d.transformTrack, 2, "dummy", i, "transform track"});
        if (!r.Pairs(d.properties, "property count", "property name", "property value")) return false;
    }

    // 7. Tracks. Whatever follows the last one is ignored.
    if (!r.Count(n, kMinTrackBytes, "track count")) return false;
    f.tracks.resize(static_cast<size_t>(n));
    for (size_t i = 0; i < f.tracks.size(); ++i) {
        if (!ReadTrack(r, f.tracks[i], i)) return false;
    }

    for (const TrackReference& ref : refs) {
        const std::string who = std::string(ref.owner) + " " + std::to_string(ref.ownerIndex);
        if (ref.track < 0 || ref.track >= static_cast<int64_t>(f.tracks.size())) {
            return r.Fail(ref.offset, std::string(ref.field) + " " + std::to_string(ref.track) + " of " + who +
                                          " is out of range (" + std::to_string(f.tracks.size()) + " tracks)");
        }
        const int32_t kind = f.tracks[static_cast<size_t>(ref.track)].kind;
        if (kind != ref.kind) {
            const std::string is = SceneKeyFloats(kind) ? std::string("a ") + KindName(kind) + " track"
                                                        : "a track of unknown kind " + std::to_string(kind);
            return r.Fail(ref.offset, std::string(ref.field) + " " + std::to_string(ref.track) + " of " + who +
                                          " is " + is + ", a " + KindName(ref.kind) + " track is needed");
        }
    }
    return true;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
}

void PutI32(std::vector<uint8_t>& out, int32_t v) { PutU32(out, static_cast<uint32_t>(v)); }

void PutString(std::vector<uint8_t>& out, const std::string& s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

void PutBytes(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutCount(std::vector<uint8_t>& out, size_t n) { PutI32(out, static_cast<int32_t>(n)); }

void PutPairs(std::vector<uint8_t>& out, const SceneFileProperties& pairs) {
    PutCount(out, pairs.size());
    for (const auto& [name, value] : pairs) {
        PutString(out, name);
        PutString(out, value);
    }
}

}  // namespace

uint32_t SceneKeyFloats(int32_t kind) {
    switch (kind) {
        case 0: return 1;
        case 1: return 3;
        case 2: return 10;
        default: return 0;
    }
}

bool ReadSceneFile(std::span<const uint8_t> bytes, SceneFile& out, SceneReadError& error) {
    SceneFile file;
    Reader reader(bytes, error);
    if (!ReadAll(reader, file)) {
        out = SceneFile{};
        return false;
    }
    out = std::move(file);
    return true;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    return ReadRegularFile(path, kMaxSceneFileBytes, bytes, reason);
}

std::string FormatSceneError(const std::string& path, const SceneReadError& error) {
    return path + ": byte " + std::to_string(error.offset) + ": " + error.problem;
}

float SceneFileEndTime(const SceneFile& file) {
    float endTime = 0.0f;
    for (const SceneFileTrack& track : file.tracks) {
        if (SceneKeyFloats(track.kind) == 0 || track.keyCount <= 0) continue;
        float t = 0.0f;
        for (int32_t k = 0; k < track.keyCount; ++k) t += kSceneKeyInterval;
        endTime = std::max(endTime, t - kSceneKeyInterval);
    }
    return endTime;
}

std::vector<uint8_t> WriteSceneFile(const SceneFile& f) {
    std::vector<uint8_t> out;
    size_t bulk = 64;
    for (const SceneFileMesh& mesh : f.meshes) {
        for (const SceneFileSubmesh& sub : mesh.submeshes) bulk += 12 + sub.vertexBytes.size() + sub.indexBytes.size();
    }
    for (const SceneFileTrack& track : f.tracks) bulk += 8 + 4 * track.values.size();
    out.reserve(bulk);

    uint32_t magic;
    std::memcpy(&magic, kSceneFileMagic, 4);
    PutU32(out, magic);
    PutU32(out, kSceneFileVersion);

    PutCount(out, f.meshes.size());
    for (const SceneFileMesh& mesh : f.meshes) {
        PutCount(out, mesh.submeshes.size());
        for (const SceneFileSubmesh& sub : mesh.submeshes) {
            PutI32(out, sub.materialSlot);
            PutU32(out, sub.vertexCount);
            PutU32(out, sub.indexCount);
            PutBytes(out, sub.vertexBytes);
            PutBytes(out, sub.indexBytes);
        }
    }

    PutCount(out, f.materials.size());
    for (const SceneFileMaterial& m : f.materials) {
        PutString(out, m.name);
        PutCount(out, m.subMaterials.size());
        if (!m.subMaterials.empty()) {
            for (int32_t index : m.subMaterials) PutI32(out, index);
            continue;
        }
        PutString(out, m.shaderName);
        PutPairs(out, m.parameters);
    }

    PutCount(out, f.objects.size());
    for (const SceneFileObject& o : f.objects) {
        PutString(out, o.name);
        PutI32(out, o.mesh);
        PutI32(out, o.material);
        PutI32(out, o.transformTrack);
    }

    PutCount(out, f.cameras.size());
    for (const SceneFileCamera& c : f.cameras) {
        PutString(out, c.name);
        PutI32(out, c.transformTrack);
        PutI32(out, c.fovTrack);
    }

    PutCount(out, f.lights.size());
    for (const SceneFileLight& l : f.lights) {
        PutString(out, l.name);
        PutI32(out, l.positionTrack);
        PutI32(out, l.colorTrack);
        PutI32(out, l.radiusTrack);
    }

    PutCount(out, f.dummies.size());
    for (const SceneFileDummy& d : f.dummies) {
        PutString(out, d.name);
        PutI32(out, d.transformTrack);
        PutPairs(out, d.properties);
    }

    PutCount(out, f.tracks.size());
    for (const SceneFileTrack& t : f.tracks) {
        PutI32(out, t.kind);
        PutI32(out, t.keyCount);
        const uint8_t* p = reinterpret_cast<const uint8_t*>(t.values.data());
        out.insert(out.end(), p, p + 4 * t.values.size());
    }
    return out;
}

bool WriteSceneFileTo(const std::string& path, const SceneFile& file, std::string& reason) {
    const std::vector<uint8_t> bytes = WriteSceneFile(file);
    // Whole or not at all: a cut-off scene file must never be read as a
    // whole one, and nothing is written through a link (file_write.h).
    std::string error;
    if (WriteWholeFile(path, bytes.data(), bytes.size(), error)) return true;
    const std::string prefix = path + ": ";
    reason = error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error;
    return false;
}

// SceneFileBuilder

int32_t SceneFileBuilder::AddMesh() {
    file_.meshes.emplace_back();
    return static_cast<int32_t>(file_.meshes.size() - 1);
}

void SceneFileBuilder::AddSubmesh(int32_t mesh, int32_t materialSlot, std::span<const SceneVertex> vertices,
                                  std::span<const uint32_t> indices) {
    SceneFileSubmesh sub;
    sub.materialSlot = materialSlot;
    sub.vertexCount = static_cast<uint32_t>(vertices.size());
    sub.indexCount = static_cast<uint32_t>(indices.size());
    std::vector<uint8_t>& v = storage_.emplace_back(vertices.size_bytes());
    if (!v.empty()) std::memcpy(v.data(), vertices.data(), v.size());
    std::vector<uint8_t>& i = storage_.emplace_back(indices.size_bytes());
    if (!i.empty()) std::memcpy(i.data(), indices.data(), i.size());
    sub.vertexBytes = v;
    sub.indexBytes = i;
    file_.meshes.at(static_cast<size_t>(mesh)).submeshes.push_back(sub);
}

int32_t SceneFileBuilder::AddLeafMaterial(std::string name, std::string shaderName, SceneFileProperties parameters) {
    file_.materials.push_back(SceneFileMaterial{std::move(name), {}, std::move(shaderName), std::move(parameters)});
    return static_cast<int32_t>(file_.materials.size() - 1);
}

int32_t SceneFileBuilder::AddMultiMaterial(std::string name, std::vector<int32_t> subMaterials) {
    file_.materials.push_back(SceneFileMaterial{std::move(name), std::move(subMaterials), {}, {}});
    return static_cast<int32_t>(file_.materials.size() - 1);
}

int32_t SceneFileBuilder::AddObject(std::string name, int32_t mesh, int32_t material, int32_t transformTrack) {
    file_.objects.push_back(SceneFileObject{std::move(name), mesh, material, transformTrack});
    return static_cast<int32_t>(file_.objects.size() - 1);
}

int32_t SceneFileBuilder::AddCamera(std::string name, int32_t transformTrack, int32_t fovTrack) {
    file_.cameras.push_back(SceneFileCamera{std::move(name), transformTrack, fovTrack});
    return static_cast<int32_t>(file_.cameras.size() - 1);
}

int32_t SceneFileBuilder::AddLight(std::string name, int32_t positionTrack, int32_t colorTrack,
                                   int32_t radiusTrack) {
    file_.lights.push_back(SceneFileLight{std::move(name), positionTrack, colorTrack, radiusTrack});
    return static_cast<int32_t>(file_.lights.size() - 1);
}

int32_t SceneFileBuilder::AddDummy(std::string name, int32_t transformTrack, SceneFileProperties properties) {
    file_.dummies.push_back(SceneFileDummy{std::move(name), transformTrack, std::move(properties)});
    return static_cast<int32_t>(file_.dummies.size() - 1);
}

int32_t SceneFileBuilder::AddScalarTrack(std::span<const float> keys) {
    return AddRawTrack(0, static_cast<int32_t>(keys.size()), std::vector<float>(keys.begin(), keys.end()));
}

int32_t SceneFileBuilder::AddVectorTrack(std::span<const Vec3> keys) {
    std::vector<float> values;
    values.reserve(keys.size() * 3);
    for (const Vec3& v : keys) values.insert(values.end(), {v.x, v.y, v.z});
    return AddRawTrack(1, static_cast<int32_t>(keys.size()), std::move(values));
}

int32_t SceneFileBuilder::AddTransformTrack(std::span<const Transform> keys) {
    std::vector<float> values;
    values.reserve(keys.size() * 10);
    for (const Transform& t : keys) {
        values.insert(values.end(), {t.position.x, t.position.y, t.position.z, t.rotation.x, t.rotation.y,
                                     t.rotation.z, t.rotation.w, t.scale.x, t.scale.y, t.scale.z});
    }
    return AddRawTrack(2, static_cast<int32_t>(keys.size()), std::move(values));
}

int32_t SceneFileBuilder::AddRawTrack(int32_t kind, int32_t keyCount, std::vector<float> values) {
    file_.tracks.push_back(SceneFileTrack{kind, keyCount, std::move(values)});
    return static_cast<int32_t>(file_.tracks.size() - 1);
}

// The sample scene.

namespace {

void CubeGeometry(std::vector<SceneVertex>& vertices, std::vector<uint32_t>& indices) {
    // One face per axis direction: normal n, tangent t (u grows along it),
    // binormal b (v grows along it). Front faces are clockwise as seen from
    // outside, against the normal's turn.
    const Vec3 faces[6][3] = {
        {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},   {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
        {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
    };
    const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    for (const auto& face : faces) {
        const Vec3 n = face[0], t = face[1], b = face[2];
        const uint32_t base = static_cast<uint32_t>(vertices.size());
        for (const auto& c : corners) {
            SceneVertex v;
            v.position = Vec3{n.x + c[0] * t.x + c[1] * b.x, n.y + c[0] * t.y + c[1] * b.y,
                              n.z + c[0] * t.z + c[1] * b.z};
            v.normal = n;
            v.u = (c[0] + 1.0f) * 0.5f;
            v.v = (c[1] + 1.0f) * 0.5f;
            v.tangent = t;
            v.binormal = b;
            vertices.push_back(v);
        }
        indices.insert(indices.end(), {base, base + 2, base + 1, base, base + 3, base + 2});
    }
}

}  // namespace

void BuildSampleScene(SceneFileBuilder& b) {
    std::vector<SceneVertex> cube;
    std::vector<uint32_t> cubeIndices;
    CubeGeometry(cube, cubeIndices);
    const int32_t cubeMesh = b.AddMesh();
    b.AddSubmesh(cubeMesh, 0, cube, cubeIndices);

    // Two halves of a cube on the two sub-materials of a multi-material.
    const int32_t splitMesh = b.AddMesh();
    b.AddSubmesh(splitMesh, 0, std::span(cube).first(12), std::span(cubeIndices).first(18));
    std::vector<uint32_t> secondHalf(cubeIndices.begin() + 18, cubeIndices.end());
    for (uint32_t& i : secondHalf) i -= 12;
    b.AddSubmesh(splitMesh, 1, std::span(cube).subspan(12), secondHalf);

    const int32_t stone = b.AddLeafMaterial("Stone", "qo_lambertblinn.fx",
                                            {{"diffuseTex", "stone.jpg"},
                                             {"normalTex", "stone_normal.jpg"},
                                             {"swapNormalY", "true"},
                                             {"bumpDepth", "0.05"}});
    const int32_t glow = b.AddLeafMaterial("Glow", "qo_additive.fx", {{"diffuseTex", "glow.jpg"}});
    const int32_t both = b.AddMultiMaterial("StoneAndGlow", {stone, glow});

    constexpr int kKeys = 21;  // two seconds
    std::vector<Transform> spin(kKeys), orbit(kKeys), camera(kKeys), marker(kKeys);
    std::vector<Vec3> lightPath(kKeys), warm(kKeys), cold(kKeys);
    std::vector<float> radius(kKeys), fov(kKeys);
    for (int k = 0; k < kKeys; ++k) {
        const float a = 3.14159265f * static_cast<float>(k) / (kKeys - 1);
        spin[k].rotation = Quat{0.0f, std::sin(a / 2), 0.0f, std::cos(a / 2)};
        orbit[k].position = Vec3{4.0f * std::cos(a), 0.0f, 4.0f * std::sin(a)};
        orbit[k].scale = Vec3{0.5f, 0.5f, 0.5f};
        camera[k].position = Vec3{0.0f, 2.0f, -10.0f + 0.1f * static_cast<float>(k)};
        marker[k].position = Vec3{0.0f, 1.5f + 0.05f * static_cast<float>(k), 0.0f};
        lightPath[k] = Vec3{3.0f * std::cos(2 * a), 3.0f, 3.0f * std::sin(2 * a)};
        warm[k] = Vec3{1.0f, 0.8f, 0.6f};
        cold[k] = Vec3{0.4f, 0.6f, 1.0f - 0.02f * static_cast<float>(k)};
        radius[k] = 8.0f + 0.1f * static_cast<float>(k);
        fov[k] = 1.2f;
    }
    const int32_t spinTrack = b.AddTransformTrack(spin);
    const int32_t orbitTrack = b.AddTransformTrack(orbit);
    const int32_t cameraTrack = b.AddTransformTrack(camera);
    const int32_t fovTrack = b.AddScalarTrack(fov);
    const int32_t lightTrack = b.AddVectorTrack(lightPath);
    const int32_t warmTrack = b.AddVectorTrack(warm);
    const int32_t coldTrack = b.AddVectorTrack(cold);
    const int32_t radiusTrack = b.AddScalarTrack(radius);
    const int32_t markerTrack = b.AddTransformTrack(marker);

    b.AddObject("Box01", cubeMesh, stone, spinTrack);
    b.AddObject("Box02", splitMesh, both, orbitTrack);
    b.AddCamera("Camera01", cameraTrack, fovTrack);
    b.AddLight("Omni_shadow", lightTrack, warmTrack, radiusTrack);
    b.AddLight("Omni_volume", lightTrack, coldTrack, radiusTrack);
    b.AddDummy("Dummy01", markerTrack, {{"emitter", "sparkls"}});
}

}  // namespace jolp
