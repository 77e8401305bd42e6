#include "scene/jolp3d.h"

#include "framework/display.h"
#include "platform/file_read.h"
#include "platform/log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <locale.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jolp {

namespace {

const VertexElement kSceneVertexElements[] = {
    {0, 0, DeclType::Float3, DeclUsage::Position, 0},  {0, 12, DeclType::Float3, DeclUsage::Normal, 0},
    {0, 24, DeclType::Float2, DeclUsage::TexCoord, 0}, {0, 32, DeclType::Float3, DeclUsage::Tangent, 0},
    {0, 44, DeclType::Float3, DeclUsage::Binormal, 0},
};

// Plain data, so destroying it at exit releases nothing on any device.
std::unique_ptr<VertexDeclaration> g_sceneDeclaration;

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

const std::string kEmpty;

}  // namespace

std::span<const VertexElement> SceneVertexElements() { return kSceneVertexElements; }

void JOLP3D::Report(const std::string& line) {
    loadError = line;
    if (reportOnStderr) Log(LogLevel::Warning, "%s; the scene is left empty", line.c_str());
}

const VertexDeclaration* SceneVertexDeclaration(GfxDevice* device) {
    if (!g_sceneDeclaration && device) g_sceneDeclaration = device->CreateVertexDeclaration(kSceneVertexElements);
    return g_sceneDeclaration.get();
}

// SceneMaterial

const std::string& SceneMaterial::GetString(std::string_view key) const {
    auto it = parameters.find(key);
    return it == parameters.end() ? kEmpty : it->second;
}

bool SceneMaterial::GetBool(std::string_view key) const {
    auto it = parameters.find(key);
    return it != parameters.end() && it->second == "true";
}

float SceneMaterial::GetFloat(std::string_view key) const {
    auto it = parameters.find(key);
    if (it == parameters.end()) return 0.0f;
    const locale_t c = CLocale();
    const double value = c ? strtod_l(it->second.c_str(), nullptr, c) : std::strtod(it->second.c_str(), nullptr);
    return static_cast<float>(value);
}

// JOLP3D

JOLP3D::JOLP3D() = default;
JOLP3D::~JOLP3D() = default;

void JOLP3D::Clear() {
    drawList = nullptr;
    drawEntries_.clear();
    dummyIndex.clear();
    dummies.clear();
    tracks.clear();
    cameras.clear();
    lightIndex.clear();
    lights.clear();
    objects.clear();
    leafMaterials.clear();
    materials.clear();
    meshes.clear();
    device = nullptr;
    startTime = 0.0f;
    endTime = 0.0f;
}

bool JOLP3D::Load(DeviceWindow& deviceWindow) { return Load(kScenePath, deviceWindow.device.get()); }

bool JOLP3D::Load(const std::string& path, GfxDevice* gfx) {
    Clear();
    loadError.clear();
    // Only a regular file of a sane size is read (a FIFO or /dev/zero is
    // refused before any byte); it is mapped and read in place, so its vertex
    // and index bytes are copied once, straight into the device buffers.
    uint64_t size = 0;
    std::string reason;
    const int fd = OpenRegularFile(path, kMaxSceneFileBytes, size, reason);
    if (fd < 0) {
        Report(path + ": cannot read: " + reason);
        return false;
    }
    if (size > 0) {
        void* map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (map != MAP_FAILED) {
            ::close(fd);
            const bool loaded = LoadBytes(std::span(static_cast<const uint8_t*>(map), static_cast<size_t>(size)), path, gfx);
            ::munmap(map, static_cast<size_t>(size));
            return loaded;
        }
    }
    ::close(fd);
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, reason)) {
        Report(path + ": cannot read: " + reason);
        return false;
    }
    return LoadBytes(bytes, path, gfx);
}

bool JOLP3D::LoadBytes(std::span<const uint8_t> bytes, const std::string& name, GfxDevice* gfx) {
    Clear();
    loadError.clear();
    try {
        SceneFile file;
        SceneReadError error;
        if (!ReadSceneFile(bytes, file, error)) {
            Report(FormatSceneError(name, error));
            return false;
        }
        if (!Build(file, gfx, name)) {
            Clear();
            return false;
        }
    } catch (const std::bad_alloc&) {
        Clear();
        Report(name + ": out of memory loading the scene (" + ByteCountText(bytes.size()) + " file)");
        return false;
    }
    return true;
}

bool JOLP3D::MakeBuffers(Submesh& submesh, const SceneFileSubmesh& source, std::span<const uint32_t> indices,
                         GfxDevice& gfx, const std::string& name) {
    auto refuse = [&](const char* what) {
        SceneReadError error{source.offset, std::string("the device refused the ") + what + " of this submesh"};
        Report(FormatSceneError(name, error));
        return false;
    };
    submesh.vertexBuffer = gfx.CreateVertexBuffer(static_cast<uint32_t>(source.vertexBytes.size()), kUsageWriteOnly);
    if (!submesh.vertexBuffer) return refuse("vertex buffer");
    void* vertices = submesh.vertexBuffer->Lock(0, 0, 0);
    if (!vertices) return refuse("vertex buffer lock");
    std::memcpy(vertices, source.vertexBytes.data(), source.vertexBytes.size());
    submesh.vertexBuffer->Unlock();

    const size_t indexBytes = indices.size_bytes();
    submesh.indexBuffer = gfx.CreateIndexBuffer(static_cast<uint32_t>(indexBytes), kUsageWriteOnly, Format::Index32);
    if (!submesh.indexBuffer) return refuse("index buffer");
    void* target = submesh.indexBuffer->Lock(0, 0, 0);
    if (!target) return refuse("index buffer lock");
    std::memcpy(target, indices.data(), indexBytes);
    submesh.indexBuffer->Unlock();
    return true;
}

bool JOLP3D::Build(const SceneFile& file, GfxDevice* gfx, const std::string& name) {
    device = gfx;
    if (gfx && !SceneVertexDeclaration(gfx)) {
        Report(name + ": the device refused the scene vertex declaration");
        return false;
    }

    meshes.resize(file.meshes.size());
    for (size_t m = 0; m < file.meshes.size(); ++m) {
        const std::vector<SceneFileSubmesh>& source = file.meshes[m].submeshes;
        std::vector<Submesh>& target = meshes[m].submeshes;
        target.resize(source.size());
        for (size_t s = 0; s < source.size(); ++s) {
            target[s].materialSlot = source[s].materialSlot;
            target[s].vertexCount = source[s].vertexCount;
            target[s].indexCount = source[s].indexCount;
            // The file's bytes need not be aligned for these types.
            std::vector<SceneVertex> vertices(source[s].vertexCount);
            std::memcpy(vertices.data(), source[s].vertexBytes.data(), source[s].vertexBytes.size());
            std::vector<uint32_t> indices(source[s].indexCount);
            std::memcpy(indices.data(), source[s].indexBytes.data(), source[s].indexBytes.size());
            target[s].chunks = SplitIntoChunks(vertices, indices);
            if (gfx && !MakeBuffers(target[s], source[s], indices, *gfx, name)) return false;
        }
    }

    materials.resize(file.materials.size());
    for (size_t i = 0; i < file.materials.size(); ++i) {
        const SceneFileMaterial& source = file.materials[i];
        SceneMaterial& m = materials[i];
        m.name = source.name;
        m.subMaterials = source.subMaterials;
        m.shaderName = source.shaderName;
        for (const auto& [key, value] : source.parameters) m.parameters.insert_or_assign(key, value);
    }
    for (SceneMaterial& m : materials) {
        if (m.subMaterials.empty()) leafMaterials.push_back(&m);
    }

    objects.resize(file.objects.size());
    for (size_t i = 0; i < file.objects.size(); ++i) {
        const SceneFileObject& source = file.objects[i];
        objects[i].name = source.name;
        objects[i].meshIndex = source.mesh;
        objects[i].materialIndex = source.material;
        objects[i].transformTrack = source.transformTrack;
    }

    for (const SceneFileCamera& source : file.cameras) {
        cameras.insert_or_assign(source.name, SceneCamera{source.name, source.transformTrack, source.fovTrack});
    }

    lights.resize(file.lights.size());
    for (size_t i = 0; i < file.lights.size(); ++i) {
        const SceneFileLight& source = file.lights[i];
        lights[i].name = source.name;
        lights[i].positionTrack = source.positionTrack;
        lights[i].colorTrack = source.colorTrack;
        lights[i].radiusTrack = source.radiusTrack;
        lightIndex.insert_or_assign(source.name, static_cast<int32_t>(i));
    }

    dummies.resize(file.dummies.size());
    for (size_t i = 0; i < file.dummies.size(); ++i) {
        const SceneFileDummy& source = file.dummies[i];
        dummies[i].name = source.name;
        dummies[i].transformTrack = source.transformTrack;
        for (const auto& [key, value] : source.properties) dummies[i].properties.insert_or_assign(key, value);
        dummyIndex.insert_or_assign(source.name, static_cast<int32_t>(i));
    }

    tracks.resize(file.tracks.size());
    for (size_t i = 0; i < file.tracks.size(); ++i) {
        const SceneFileTrack& source = file.tracks[i];
        AnimationTrack& track = tracks[i];
        track.kind = source.kind;
        const uint32_t floats = SceneKeyFloats(source.kind);
        if (floats == 0) continue;
        const size_t n = source.values.size() / floats;
        const float* v = source.values.data();
        float t = 0.0f;
        auto fill = [&](auto& list, auto make) {
            list.Reserve(n);
            for (size_t k = 0; k < n; ++k, v += floats) {
                list.Add(t, make(v));
                t += kSceneKeyInterval;
            }
        };
        switch (source.kind) {
            case 0:
                fill(track.keys.emplace<KeyList<float>>(), [](const float* p) { return p[0]; });
                break;
            case 1:
                fill(track.keys.emplace<KeyList<Vec3>>(), [](const float* p) { return Vec3{p[0], p[1], p[2]}; });
                break;
            default:
                fill(track.keys.emplace<KeyList<Transform>>(), [](const float* p) {
                    return Transform{{p[0], p[1], p[2]}, {p[3], p[4], p[5], p[6]}, {p[7], p[8], p[9]}};
                });
                break;
        }
        if (n > 0) endTime = std::max(endTime, t - kSceneKeyInterval);
    }

    BuildDrawList();
    return true;
}

void JOLP3D::BuildDrawList() {
    size_t count = 1;
    for (const SceneObject& object : objects) count += meshes[static_cast<size_t>(object.meshIndex)].submeshes.size();
    drawEntries_.assign(count, DrawListEntry{});
    size_t n = 0;
    for (SceneObject& object : objects) {
        for (Submesh& submesh : meshes[static_cast<size_t>(object.meshIndex)].submeshes) {
            SceneMaterial* m = &materials[static_cast<size_t>(object.materialIndex)];
            if (!m->subMaterials.empty()) {
                const uint32_t slot = static_cast<uint32_t>(submesh.materialSlot);
                const size_t entry = slot % static_cast<uint32_t>(m->subMaterials.size());
                m = &materials[static_cast<size_t>(m->subMaterials[entry])];
            }
            DrawListEntry& e = drawEntries_[n];
            e.object = &object;
            e.submesh = &submesh;
            e.sceneMaterial = m;
            e.next = &drawEntries_[n + 1];
            ++n;
        }
    }
    drawList = &drawEntries_[0];
}

SceneDummy* JOLP3D::FindDummy(std::string_view name) {
    auto it = dummyIndex.find(name);
    return it == dummyIndex.end() ? nullptr : &dummies[static_cast<size_t>(it->second)];
}

float JOLP3D::EvaluateScalar(int32_t track, float t) {
    if (track < 0 || static_cast<size_t>(track) >= tracks.size()) return 0.0f;
    KeyList<float>* keys = tracks[static_cast<size_t>(track)].Scalars();
    return keys ? keys->Evaluate(t) : 0.0f;
}

Vec3 JOLP3D::EvaluateVector(int32_t track, float t) {
    if (track < 0 || static_cast<size_t>(track) >= tracks.size()) return Vec3{};
    KeyList<Vec3>* keys = tracks[static_cast<size_t>(track)].Vectors();
    return keys ? keys->Evaluate(t) : Vec3{};
}

Transform JOLP3D::EvaluateTransform(int32_t track, float t) {
    if (track < 0 || static_cast<size_t>(track) >= tracks.size()) return Transform{};
    KeyList<Transform>* keys = tracks[static_cast<size_t>(track)].Transforms();
    return keys ? keys->Evaluate(t) : Transform{};
}

void JOLP3D::Animate(const Matrix& root, float t) {
    for (SceneObject& object : objects) {
        const Matrix local = TransformToMatrix(EvaluateTransform(object.transformTrack, t));
        object.world = MatrixMultiply(local, root);
        object.worldInverse = MatrixInverse(object.world);
    }
    for (SceneLight& light : lights) {
        light.position = EvaluateVector(light.positionTrack, t);
        light.color = EvaluateVector(light.colorTrack, t);
        light.radius = EvaluateScalar(light.radiusTrack, t);
    }
    for (SceneDummy& dummy : dummies) {
        dummy.transform = EvaluateTransform(dummy.transformTrack, t);
        dummy.matrix = TransformToMatrix(dummy.transform);
        dummy.matrixInverse = MatrixInverse(dummy.matrix);
    }
}

CameraView JOLP3D::EvaluateCamera(std::string_view name, float t, float aspect, float nearPlane, float farPlane) {
    auto it = cameras.find(name);
    if (it == cameras.end()) return DefaultCameraView();
    const float f = EvaluateScalar(it->second.fovTrack, t);
    const Transform transform = EvaluateTransform(it->second.transformTrack, t);
    const Quat qi = QuatInverse(transform.rotation);
    CameraView view;
    view.fov = f / aspect;
    view.aspect = aspect;
    view.nearPlane = nearPlane;
    view.farPlane = farPlane;
    view.position = transform.position;
    view.right = QuatRotate(Vec3{1.0f, 0.0f, 0.0f}, qi);
    view.forward = QuatRotate(Vec3{0.0f, 0.0f, 1.0f}, qi);
    view.up = QuatRotate(Vec3{0.0f, 1.0f, 0.0f}, qi);
    return view;
}

void JOLP3D::SubmitDrawItems(DrawSink& sink) const {
    const VertexDeclaration* declaration = SceneVertexDeclaration(nullptr);
    for (const DrawListEntry* e = drawList; e && e->object; e = e->next) {
        Material* material = e->sceneMaterial->material;
        if (!material || !e->submesh->vertexBuffer) continue;
        DrawItem item;
        item.primitiveType = PrimitiveType::TriangleList;
        item.vertexDeclaration = declaration;
        item.vertexBuffer = e->submesh->vertexBuffer.get();
        item.indexBuffer = e->submesh->indexBuffer.get();
        item.vertexStride = kSceneVertexSize;
        item.vertexCount = e->submesh->vertexCount;
        item.material = material;
        item.world = e->object->world;
        item.worldInverse = e->object->worldInverse;
        for (const MeshChunk& chunk : e->submesh->chunks) {
            item.firstIndex = chunk.firstIndex;
            item.primitiveCount = chunk.indexCount / 3;
            const BoundingSphere bounds = SphereToWorld(chunk.bounds, item.world);
            item.boundsCentre = bounds.centre;
            item.boundsRadius = bounds.radius;
            sink.SubmitItem(item);
        }
    }
}

void JOLP3D::SubmitLights(DrawSink& sink) const {
    for (const SceneLight& light : lights) {
        RenderLight* r = light.renderLight;
        if (!r) continue;
        r->position = light.position;
        r->color = light.color;
        r->radius = light.radius;
        sink.SubmitLight(*r);
    }
}

}  // namespace jolp
