// gltf_import.cpp - see gltf_import.h. tinygltf parses the file (JSON, GLB
// chunks, base64 and file URIs) and is compiled here; everything it hands
// over is checked before use: indices into its tables, accessors against
// their buffers (gltf_accessors.h), vertex indices against their vertices,
// numbers for being finite.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_FS
// tinygltf writes files through std::ofstream even when it is given no file
// system of its own.
#include <fstream>
#include <tiny_gltf.h>
// Once: the headers below include it again for its declarations.
#undef TINYGLTF_IMPLEMENTATION

#include "tools/gltf_import.h"

#include "platform/file_read.h"
#include "platform/file_write.h"
#include "tools/gltf_accessors.h"
#include "tools/gltf_animation.h"
#include "tools/surface_frames.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <numeric>
#include <set>

namespace jolp::tools {
namespace {

namespace fs = std::filesystem;

bool AllFinite(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); });
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The shortest C-locale text that reads back as the same float.
std::string NumberText(double value) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, static_cast<float>(value));
    return std::string(text, r.ptr);
}

// A file name of letters, digits, '.', '-' and '_' only.
std::string SafeFileName(const std::string& s) { return jolp::SafeFileName(s, "texture"); }

// Which files tinygltf may read for the buffers and images a glTF file
// names: regular files inside `folder`, and none at all without allowFiles.
struct FileAccess {
    fs::path folder;
    bool allowFiles = false;
};

bool Inside(const FileAccess& access, const std::string& path, fs::path& resolved) {
    std::error_code ec;
    const fs::path full = fs::weakly_canonical(fs::path(path), ec);
    if (ec) return false;
    const fs::path base = fs::weakly_canonical(access.folder, ec);
    if (ec) return false;
    const fs::path rel = full.lexically_relative(base);
    if (rel.empty() || *rel.begin() == "..") return false;
    resolved = full;
    return true;
}

// Says yes to every file: tinygltf would report any it is told is missing
// as "File not found", whatever the reason. Reading it then fails with the
// true one (outside the folder, no such file, not a regular file).
bool FileExistsCallback(const std::string&, void*) { return true; }

std::string ExpandCallback(const std::string& path, void*) { return path; }

// The path as the glTF file names it: tinygltf hands over the folder and
// the name joined, "FOLDER/" + name.
std::string NamedPath(const FileAccess& access, const std::string& path) {
    std::string base = access.folder.string();
    if (base.empty() || base.back() != '/') base += '/';
    return path.compare(0, base.size(), base) == 0 ? path.substr(base.size()) : path;
}

bool ReadWholeFileCallback(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
    const FileAccess& access = *static_cast<FileAccess*>(user);
    fs::path resolved;
    if (!access.allowFiles) {
        if (err) *err += path + ": a file the bytes refer to; none is read\n";
        return false;
    }
    const std::string named = NamedPath(access, path);
    if (fs::path(named).is_absolute()) {
        if (err) *err += named + ": an absolute path; only files beside the glTF file are read\n";
        return false;
    }
    if (!Inside(access, path, resolved)) {
        if (err) *err += named + ": outside the input folder; only files beside the glTF file are read\n";
        return false;
    }
    std::string reason;
    if (!ReadRegularFile(resolved.string(), kMaxGltfFileBytes, *out, reason)) {
        if (err) *err += named + ": " + reason + "\n";
        return false;
    }
    return true;
}

bool WriteWholeFileCallback(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    if (err) *err += "writing is not supported\n";
    return false;
}

// Keeps an image's encoded bytes as they are (PNG and JPEG files go to the
// texture folder unchanged). Images in buffer views are read later, with
// their bounds checked.
bool KeepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
    if (image->bufferView >= 0) return true;
    if (bytes && size > 0) image->image.assign(bytes, bytes + size);
    return true;
}

// Where the JSON text first nests arrays and objects deeper than limit, or
// npos. Brackets inside strings do not count; a quick scan of the bytes,
// whatever else is wrong with them, so that the recursive parser is only
// handed text it can finish.
size_t JsonTooDeep(std::span<const uint8_t> text, int limit) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return i;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return std::string::npos;
}

// The JSON of a .gltf (all of it) or a .glb (its first chunk, as far as the
// bytes go; a damaged header is left for tinygltf to refuse).
std::span<const uint8_t> JsonText(std::span<const uint8_t> bytes, bool binary, size_t& offset) {
    offset = 0;
    if (!binary) return bytes;
    if (bytes.size() < 20) return {};
    const uint32_t length = uint32_t(bytes[12]) | uint32_t(bytes[13]) << 8 | uint32_t(bytes[14]) << 16 | uint32_t(bytes[15]) << 24;
    offset = 20;
    return bytes.subspan(20, std::min<size_t>(length, bytes.size() - 20));
}

// ---------------------------------------------------------------- the importer

class Importer {
public:
    Importer(const tinygltf::Model& model, const std::string& file, const GltfImportOptions& options, GltfImport& out)
        : m_(model), file_(file), options_(options), out_(out), read_(model, file) {}

    void Run() {
        CollectNodes();
        CollectAnimations();
        SampleTimes();
        SampleWorlds();
        for (int node : order_) AddNode(node);
        AddLights();
        Summarise();
    }

private:
    // ------------------------------------------------ nodes and poses

    void CollectNodes() {
        std::vector<int> roots;
        if (!m_.scenes.empty()) {
            const int s = m_.defaultScene >= 0 && size_t(m_.defaultScene) < m_.scenes.size() ? m_.defaultScene : 0;
            roots = m_.scenes[size_t(s)].nodes;
        } else {
            std::vector<bool> child(m_.nodes.size(), false);
            for (const tinygltf::Node& n : m_.nodes) {
                for (int c : n.children) {
                    if (c >= 0 && size_t(c) < child.size()) child[size_t(c)] = true;
                }
            }
            for (size_t i = 0; i < m_.nodes.size(); ++i) {
                if (!child[i]) roots.push_back(int(i));
            }
        }
        parent_.assign(m_.nodes.size(), -2);  // -2: not in the scene
        base_.resize(m_.nodes.size());
        std::vector<std::pair<int, int>> stack;
        for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back({*it, -1});
        while (!stack.empty()) {
            const auto [node, parent] = stack.back();
            stack.pop_back();
            if (node < 0 || size_t(node) >= m_.nodes.size()) Fail("the scene names node " + std::to_string(node) + ", which does not exist");
            if (parent_[size_t(node)] != -2) Fail("node " + std::to_string(node) + " appears twice in the node hierarchy (a cycle, or two parents)");
            parent_[size_t(node)] = parent;
            order_.push_back(node);
            const tinygltf::Node& n = m_.nodes[size_t(node)];
            base_[size_t(node)] = NodePose(n, node);
            for (auto c = n.children.rbegin(); c != n.children.rend(); ++c) stack.push_back({*c, node});
        }
    }

    Pose NodePose(const tinygltf::Node& n, int index) const {
        const std::string what = "node " + std::to_string(index) + " " + Quote(n.name);
        if (!AllFinite(n.matrix) || !AllFinite(n.translation) || !AllFinite(n.rotation) || !AllFinite(n.scale)) {
            Fail(what + " has a transform that is not a finite number (NaN or infinity)");
        }
        if (n.matrix.size() == 16) {
            Mat4 m;
            std::copy(n.matrix.begin(), n.matrix.end(), m.begin());
            return Decompose(m);
        }
        if (!n.matrix.empty() || (!n.translation.empty() && n.translation.size() != 3) ||
            (!n.rotation.empty() && n.rotation.size() != 4) || (!n.scale.empty() && n.scale.size() != 3)) {
            Fail(what + " has a matrix, translation, rotation or scale of the wrong length");
        }
        Pose p;
        if (!n.translation.empty()) std::copy(n.translation.begin(), n.translation.end(), p.t.begin());
        if (!n.rotation.empty()) std::copy(n.rotation.begin(), n.rotation.end(), p.r.begin());
        if (!n.scale.empty()) std::copy(n.scale.begin(), n.scale.end(), p.s.begin());
        return p;
    }

    // ------------------------------------------------ animation

    void CollectAnimations() {
        std::set<std::pair<int, int>> targeted;
        std::set<std::string> weightAnimations;
        for (size_t a = 0; a < m_.animations.size(); ++a) {
            const tinygltf::Animation& anim = m_.animations[a];
            const std::string what = "animation " + std::to_string(a) + " " + Quote(anim.name);
            for (size_t c = 0; c < anim.channels.size(); ++c) {
                const tinygltf::AnimationChannel& ch = anim.channels[c];
                const std::string use = what + " channel " + std::to_string(c);
                if (ch.target_path == "weights") {
                    weightAnimations.insert(anim.name);
                    continue;
                }
                Channel out;
                if (ch.target_path == "translation") out.path = Path::Translation;
                else if (ch.target_path == "rotation") out.path = Path::Rotation;
                else if (ch.target_path == "scale") out.path = Path::Scale;
                else {
                    Warn(use + " animates " + Quote(ch.target_path) + ", which is not imported");
                    continue;
                }
                if (ch.target_node < 0 || size_t(ch.target_node) >= m_.nodes.size()) Fail(use + " targets node " + std::to_string(ch.target_node) + ", which does not exist");
                if (ch.sampler < 0 || size_t(ch.sampler) >= anim.samplers.size()) Fail(use + " names sampler " + std::to_string(ch.sampler) + ", which does not exist");
                if (parent_[size_t(ch.target_node)] == -2) continue;  // not in the scene
                const tinygltf::AnimationSampler& s = anim.samplers[size_t(ch.sampler)];
                if (s.interpolation == "STEP") out.interpolation = Channel::Step;
                else if (s.interpolation == "CUBICSPLINE") out.interpolation = Channel::Cubic;
                else if (s.interpolation == "LINEAR" || s.interpolation.empty()) out.interpolation = Channel::Linear;
                else Fail(use + ": unknown interpolation " + Quote(s.interpolation));
                out.node = ch.target_node;
                out.times = read_.Floats(s.input, 1, use + " input");
                const int n = out.path == Path::Rotation ? 4 : 3;
                out.values = read_.Floats(s.output, n, use + " output");
                const size_t perKey = out.interpolation == Channel::Cubic ? 3 : 1;
                if (out.times.empty()) Fail(use + " has no keys");
                if (out.values.size() != out.times.size() * perKey * size_t(n)) {
                    Fail(use + " has " + std::to_string(out.times.size()) + " key times but " +
                         std::to_string(out.values.size() / size_t(n)) + " values");
                }
                for (size_t k = 0; k < out.times.size(); ++k) {
                    if (!std::isfinite(out.times[k]) || out.times[k] < 0 || (k > 0 && out.times[k] < out.times[k - 1])) {
                        Fail(use + ": key times must be finite, 0 or more, and increasing (key " + std::to_string(k) + ")");
                    }
                }
                if (!std::all_of(out.values.begin(), out.values.end(), [](float f) { return std::isfinite(f); })) {
                    Fail(use + " holds a value that is not a finite number (NaN or infinity)");
                }
                if (!targeted.insert({out.node, int(out.path)}).second) {
                    Warn(use + ": node " + Quote(m_.nodes[size_t(out.node)].name) + "'s " + ch.target_path +
                         " is animated twice; the later channel wins");
                    channels_.erase(std::remove_if(channels_.begin(), channels_.end(),
                                                   [&](const Channel& o) { return o.node == out.node && o.path == out.path; }),
                                    channels_.end());
                }
                longest_ = std::max(longest_, out.times.back());
                channels_.push_back(std::move(out));
            }
        }
        for (const std::string& name : weightAnimations) {
            Warn("animation " + Quote(name) + " animates morph target weights, which are not imported");
        }
    }

    void SampleTimes() {
        float length = options_.length >= 0.0f ? options_.length : longest_;
        if (length > kMaxAnimationSeconds) {
            Fail("the animation lasts " + NumberText(length) + " s; at most " + NumberText(kMaxAnimationSeconds) +
                 " s are sampled (choose fewer with --length)");
        }
        if (channels_.empty()) length = 0.0f;
        // Key k at k x 0.1 s, added up in single precision as the reader
        // does; the last key at or after the end, holding the last value.
        float t = 0.0f;
        do {
            times_.push_back(t);
            t += kSceneKeyInterval;
        } while (times_.back() < length - 1e-4f);
        animated_.assign(m_.nodes.size(), false);
        for (const Channel& c : channels_) animated_[size_t(c.node)] = true;
        uint64_t moving = 0;
        for (int node : order_) {  // parents come first
            const int p = parent_[size_t(node)];
            if (p >= 0 && animated_[size_t(p)]) animated_[size_t(node)] = true;
            moving += animated_[size_t(node)];
        }
        Budget(moving * times_.size() * sizeof(Transform), "animation");
    }

    // The world pose of every node of the scene at every key time (one key
    // for nodes that do not move).
    void SampleWorlds() {
        world_.assign(m_.nodes.size(), {});
        std::vector<Mat4> matrices(m_.nodes.size(), kIdentity);
        for (size_t k = 0; k < times_.size(); ++k) {
            std::vector<Pose> local(base_);
            for (const Channel& c : channels_) {
                double v[4];
                EvaluateChannel(c, times_[k], v);
                Pose& p = local[size_t(c.node)];
                if (c.path == Path::Translation) p.t = {v[0], v[1], v[2]};
                else if (c.path == Path::Rotation) p.r = {v[0], v[1], v[2], v[3]};
                else p.s = {v[0], v[1], v[2]};
            }
            for (int node : order_) {
                const int p = parent_[size_t(node)];
                if (k > 0 && !animated_[size_t(node)]) continue;
                const Mat4 m = PoseMatrix(local[size_t(node)]);
                matrices[size_t(node)] = p >= 0 ? Multiply(matrices[size_t(p)], m) : m;
                world_[size_t(node)].push_back(Decompose(matrices[size_t(node)]));
            }
        }
    }

    int32_t TransformTrack(int node) {
        std::vector<Transform> keys;
        for (const Pose& p : world_[size_t(node)]) keys.push_back(ToTransform(p));
        return out_.scene.AddTransformTrack(keys);
    }

    // ------------------------------------------------ nodes

    std::string NodeName(int node, const char* kind) const {
        const std::string& name = m_.nodes[size_t(node)].name;
        return name.empty() ? std::string(kind) + std::to_string(node) : name;
    }

    void AddNode(int node) {
        const tinygltf::Node& n = m_.nodes[size_t(node)];
        bool something = false;
        if (n.skin >= 0) {
            Warn("node " + Quote(n.name) + " is skinned; skins are not imported, its mesh stays in its bind pose");
        }
        if (n.mesh >= 0) {
            something = true;
            const auto [mesh, material] = Mesh(n.mesh);
            if (mesh >= 0) {
                out_.scene.AddObject(NodeName(node, "object"), mesh, material, TransformTrack(node));
                ++objects_;
                GrowBounds(node, n.mesh);
            }
        }
        if (n.camera >= 0) {
            something = true;
            AddCamera(node);
        }
        const auto lightExt = n.extensions.find("KHR_lights_punctual");
        if (lightExt != n.extensions.end() && lightExt->second.Has("light")) {
            something = true;
            const tinygltf::Value& l = lightExt->second.Get("light");
            const int light = l.IsNumber() ? l.GetNumberAsInt() : -1;
            if (light < 0 || size_t(light) >= m_.lights.size()) Fail("node " + Quote(n.name) + " names light " + std::to_string(light) + ", which does not exist");
            pendingLights_.push_back({node, light});
        }
        if (!something) {
            SceneFileProperties properties;
            if (n.extras.IsObject()) {
                for (const std::string& key : n.extras.Keys()) {
                    std::string text;
                    if (ExtraText(n.extras.Get(key), text)) properties.emplace_back(key, text);
                    else Warn("node " + Quote(n.name) + ": custom property " + Quote(key) + " is not a number, text or flag; skipped");
                }
            }
            out_.scene.AddDummy(NodeName(node, "dummy"), TransformTrack(node), std::move(properties));
            dummyNames_.push_back(NodeName(node, "dummy"));
        }
    }

    static bool ExtraText(const tinygltf::Value& v, std::string& text) {
        if (v.IsString()) text = v.Get<std::string>();
        else if (v.IsBool()) text = v.Get<bool>() ? "true" : "false";
        else if (v.IsInt()) text = std::to_string(v.Get<int>());
        else if (v.IsNumber()) text = NumberText(v.GetNumberAsDouble());
        else return false;
        return true;
    }

    void AddCamera(int node) {
        const tinygltf::Node& n = m_.nodes[size_t(node)];
        if (size_t(n.camera) >= m_.cameras.size()) Fail("node " + Quote(n.name) + " names camera " + std::to_string(n.camera) + ", which does not exist");
        const tinygltf::Camera& c = m_.cameras[size_t(n.camera)];
        if (c.type != "perspective") {
            Warn("camera " + Quote(NodeName(node, "camera")) + " is " + (c.type.empty() ? "of no type" : c.type) + "; only perspective cameras are imported");
            return;
        }
        if (!std::isfinite(c.perspective.yfov) || c.perspective.yfov <= 0 || c.perspective.yfov >= 3.14159) {
            Fail("camera " + Quote(NodeName(node, "camera")) + " has a field of view of " + NumberText(c.perspective.yfov) + " radians");
        }
        std::vector<Transform> keys;
        for (const Pose& p : world_[size_t(node)]) {
            keys.push_back(SceneCameraTransform({float(p.t[0]), float(p.t[1]), float(p.t[2])},
                                                {float(p.r[0]), float(p.r[1]), float(p.r[2]), float(p.r[3])}));
        }
        const float fov[] = {float(c.perspective.yfov) * kDemoAspect};
        out_.scene.AddCamera(NodeName(node, "camera"), out_.scene.AddTransformTrack(keys), out_.scene.AddScalarTrack(fov));
        cameraNames_.push_back(NodeName(node, "camera"));
    }

    void AddLights() {
        double brightest = 0.0;
        for (const auto& [node, light] : pendingLights_) brightest = std::max(brightest, m_.lights[size_t(light)].intensity);
        const float diagonal = bounds_ ? std::sqrt(Dot(Sub(max_, min_), Sub(max_, min_))) : 10.0f;
        for (const auto& [node, index] : pendingLights_) {
            const tinygltf::Light& l = m_.lights[size_t(index)];
            const std::string name = NodeName(node, "light");
            if (l.type == "spot") {
                Warn("light " + Quote(name) + " is a spot light; imported as a point light");
            } else if (l.type != "point") {
                Warn("light " + Quote(name) + " is a " + (l.type.empty() ? "light of no type" : l.type + " light") + "; only point and spot lights are imported");
                continue;
            }
            if (!std::isfinite(l.intensity) || l.intensity < 0 || !std::isfinite(l.range) || l.range < 0 ||
                !AllFinite(l.color) || (!l.color.empty() && l.color.size() != 3)) {
                Fail("light " + Quote(name) + " has a colour, intensity or range that is not a finite number 0 or more");
            }
            const Vec3 colour = l.color.size() == 3 ? Vec3{float(l.color[0]), float(l.color[1]), float(l.color[2])} : Vec3{1, 1, 1};
            const LightValues values = LightFromGltf(colour, l.intensity, l.range, brightest, diagonal, options_);
            std::vector<Vec3> positions;
            for (const Pose& p : world_[size_t(node)]) positions.push_back({float(p.t[0]), float(p.t[1]), float(p.t[2])});
            const Vec3 colours[] = {values.color};
            const float radii[] = {values.radius};
            out_.scene.AddLight(name, out_.scene.AddVectorTrack(positions), out_.scene.AddVectorTrack(colours),
                                out_.scene.AddScalarTrack(radii));
            char line[160];
            std::snprintf(line, sizeof line, " (colour %.3g %.3g %.3g, radius %.3g)", double(values.color.x),
                          double(values.color.y), double(values.color.z), double(values.radius));
            lightNames_.push_back(name + line);
        }
    }

    void GrowBounds(int node, int mesh) {
        const auto found = meshBounds_.find(mesh);
        if (found == meshBounds_.end()) return;
        const Mat4 m = PoseMatrix(world_[size_t(node)].front());
        for (int corner = 0; corner < 8; ++corner) {
            const Vec3 lo = found->second.first, hi = found->second.second;
            const double p[3] = {corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z};
            Vec3 w{};
            float* o = &w.x;
            for (int r = 0; r < 3; ++r) o[r] = float(m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r]);
            if (!bounds_) min_ = max_ = w, bounds_ = true;
            min_ = {std::min(min_.x, w.x), std::min(min_.y, w.y), std::min(min_.z, w.z)};
            max_ = {std::max(max_.x, w.x), std::max(max_.y, w.y), std::max(max_.z, w.z)};
        }
    }

    // ------------------------------------------------ meshes

    // The scene mesh and material of a glTF mesh, made on first use: one
    // submesh per triangle primitive, and a multi-material over the
    // primitives' materials when they differ. Mesh -1 when it has nothing
    // to draw.
    std::pair<int32_t, int32_t> Mesh(int index) {
        if (size_t(index) >= m_.meshes.size()) Fail("a node names mesh " + std::to_string(index) + ", which does not exist");
        const auto done = meshes_.find(index);
        if (done != meshes_.end()) return done->second;
        const tinygltf::Mesh& mesh = m_.meshes[size_t(index)];
        const std::string what = "mesh " + std::to_string(index) + " " + Quote(mesh.name);
        std::vector<int32_t> materials;
        int32_t sceneMesh = -1;
        Vec3 lo{}, hi{};
        bool any = false;
        bool morph = false, colours = false;
        for (size_t p = 0; p < mesh.primitives.size(); ++p) {
            const tinygltf::Primitive& prim = mesh.primitives[p];
            const std::string use = what + " primitive " + std::to_string(p);
            morph = morph || !prim.targets.empty();
            colours = colours || prim.attributes.count("COLOR_0") > 0;
            if (prim.mode >= 0 && prim.mode <= 3) {
                Warn(use + " is drawn as " + (prim.mode == 0 ? "points" : "lines") + "; only triangles are imported");
                continue;
            }
            if (prim.mode > 6) Fail(use + " has an unknown mode " + std::to_string(prim.mode));
            const auto pos = prim.attributes.find("POSITION");
            if (pos == prim.attributes.end()) {
                Warn(use + " has no positions; skipped");
                continue;
            }
            std::vector<SceneVertex> vertices;
            std::vector<uint32_t> indices;
            ReadPrimitive(prim, use, pos->second, vertices, indices);
            if (indices.size() < 3) {
                Warn(use + " has no whole triangle; skipped");
                continue;
            }
            for (const SceneVertex& v : vertices) {
                if (!any) lo = hi = v.position, any = true;
                lo = {std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z)};
                hi = {std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z)};
            }
            Budget(vertices.size() * sizeof(SceneVertex) + indices.size() * 4, "geometry");
            if (sceneMesh < 0) sceneMesh = out_.scene.AddMesh();
            out_.scene.AddSubmesh(sceneMesh, int32_t(materials.size()), vertices, indices);
            materials.push_back(Material(prim.material));
            ++submeshes_;
            triangles_ += indices.size() / 3;
        }
        if (morph) Warn(what + " has morph targets, which are not imported; its base shape is");
        if (colours) Warn(what + " has vertex colours, which the scene format has no room for");
        std::pair<int32_t, int32_t> result{-1, -1};
        if (sceneMesh >= 0) {
            ++meshCount_;
            meshBounds_[index] = {lo, hi};
            const bool one = std::all_of(materials.begin(), materials.end(), [&](int32_t m) { return m == materials[0]; });
            result = {sceneMesh, one ? materials[0]
                                     : out_.scene.AddMultiMaterial((mesh.name.empty() ? "mesh" + std::to_string(index) : mesh.name) + "_materials", materials)};
        } else {
            Warn(what + " has nothing to draw; its nodes are not imported as objects");
        }
        meshes_[index] = result;
        return result;
    }

    void ReadPrimitive(const tinygltf::Primitive& prim, const std::string& use, int positions,
                       std::vector<SceneVertex>& vertices, std::vector<uint32_t>& indices) {
        const std::vector<float> pos = read_.Floats(positions, 3, use + " POSITION");
        const size_t n = pos.size() / 3;
        if (n == 0) return;
        if (n > UINT32_MAX) Fail(use + " has too many vertices");
        vertices.resize(n);
        for (size_t i = 0; i < n; ++i) vertices[i].position = {pos[3 * i], pos[3 * i + 1], pos[3 * i + 2]};
        auto attribute = [&](const char* name, int components) -> std::vector<float> {
            const auto it = prim.attributes.find(name);
            if (it == prim.attributes.end()) return {};
            std::vector<float> v = read_.Floats(it->second, components, use + " " + name);
            if (v.size() != n * size_t(components)) {
                Fail(use + " has " + std::to_string(v.size() / size_t(components)) + " " + name + " values for " +
                     std::to_string(n) + " vertices");
            }
            return v;
        };
        const std::vector<float> normals = attribute("NORMAL", 3);
        const std::vector<float> uvs = attribute("TEXCOORD_0", 2);
        const std::vector<float> tangents = attribute("TANGENT", 4);

        std::vector<uint32_t> raw;
        if (prim.indices >= 0) {
            raw = read_.Indices(prim.indices, use + " indices");
            for (size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] >= n) {
                    Fail(use + ": index " + std::to_string(i) + " is " + std::to_string(raw[i]) + ", out of range for " +
                         std::to_string(n) + " vertices");
                }
            }
        } else {
            raw.resize(n);
            std::iota(raw.begin(), raw.end(), 0u);
        }
        const int mode = prim.mode < 0 ? TINYGLTF_MODE_TRIANGLES : prim.mode;
        if (mode == TINYGLTF_MODE_TRIANGLES) {
            indices.assign(raw.begin(), raw.end() - long(raw.size() % 3));
        } else {
            for (size_t i = 2; i < raw.size(); ++i) {
                if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
                    const bool odd = i % 2 == 1;
                    indices.insert(indices.end(), {raw[i - 2], odd ? raw[i] : raw[i - 1], odd ? raw[i - 1] : raw[i]});
                } else {
                    indices.insert(indices.end(), {raw[0], raw[i - 1], raw[i]});
                }
            }
        }
        if (indices.size() > UINT32_MAX) Fail(use + " has too many indices");
        if (!normals.empty()) {
            for (size_t i = 0; i < n; ++i) vertices[i].normal = Unit({normals[3 * i], normals[3 * i + 1], normals[3 * i + 2]}, {0, 1, 0});
        } else {
            ComputeNormals(vertices, indices);
        }
        for (size_t i = 0; i < n && !uvs.empty(); ++i) vertices[i].u = uvs[2 * i], vertices[i].v = uvs[2 * i + 1];
        if (!tangents.empty()) {
            for (size_t i = 0; i < n; ++i) {
                SceneVertex& v = vertices[i];
                v.tangent = Unit({tangents[4 * i], tangents[4 * i + 1], tangents[4 * i + 2]}, {1, 0, 0});
                // glTF's bitangent, cross(N, T) * w, points up the image;
                // the scene's binormal down it (towards increasing v).
                v.binormal = Scaled(Cross(v.normal, v.tangent), tangents[4 * i + 3] < 0 ? 1.0f : -1.0f);
            }
        } else {
            ComputeTangents(vertices, indices);
        }
        // glTF's front faces are counter-clockwise on screen, the scene's
        // clockwise (see gltf_import.h).
        for (size_t t = 0; t + 2 < indices.size(); t += 3) std::swap(indices[t + 1], indices[t + 2]);
    }

    // ------------------------------------------------ materials and textures

    int32_t Material(int index) {
        const auto done = materials_.find(index);
        if (done != materials_.end()) return done->second;
        if (index >= 0 && size_t(index) >= m_.materials.size()) Fail("a primitive names material " + std::to_string(index) + ", which does not exist");
        tinygltf::Material fallback;
        fallback.name = "default";
        const tinygltf::Material& mat = index >= 0 ? m_.materials[size_t(index)] : fallback;
        const std::string name = mat.name.empty() ? "material" + std::to_string(index) : mat.name;
        std::string shader = mat.alphaMode == "BLEND" ? "qo_additive.fx" : "qo_lambertblinn.fx";
        SceneFileProperties params;
        const std::vector<double>& factor = mat.pbrMetallicRoughness.baseColorFactor;
        std::string diffuse = Texture(mat.pbrMetallicRoughness.baseColorTexture.index, name + " base colour");
        if (diffuse.empty()) {
            if (!AllFinite(factor) || factor.size() != 4) Fail("material " + Quote(name) + " has a base colour factor that is not four finite numbers");
            diffuse = ColourTexture(name, factor);
        }
        params.emplace_back("diffuseTex", diffuse);
        const std::string normal = Texture(mat.normalTexture.index, name + " normal");
        if (!normal.empty()) {
            // glTF normal maps have +y up the image; the scene's binormal
            // runs down it.
            params.emplace_back("normalTex", normal);
            params.emplace_back("swapNormalY", "true");
        } else {
            params.emplace_back("normalTex", FlatNormalTexture());
        }
        const std::string occlusion = Texture(mat.occlusionTexture.index, name + " occlusion");
        params.emplace_back("ambientOclusionTex", occlusion.empty() ? NoOcclusionTexture() : occlusion);
        if (mat.extras.IsObject()) {
            for (const std::string& key : mat.extras.Keys()) {
                const tinygltf::Value& v = mat.extras.Get(key);
                std::string text;
                if (!ExtraText(v, text)) {
                    Warn("material " + Quote(name) + ": custom property " + Quote(key) + " is not a number, text or flag; skipped");
                } else if (key == "shader") {
                    shader = text;
                } else {
                    params.emplace_back(key, text);
                }
            }
        }
        const int32_t result = out_.scene.AddLeafMaterial(name, shader, std::move(params));
        ++materialCount_;
        materials_[index] = result;
        return result;
    }

    // The file name of texture `index` under media/texs, written on first
    // use; empty (with a warning) when there is none or it cannot be used.
    std::string Texture(int index, const std::string& use) {
        if (index < 0) return {};
        if (size_t(index) >= m_.textures.size()) Fail(use + " texture names texture " + std::to_string(index) + ", which does not exist");
        const int source = m_.textures[size_t(index)].source;
        if (source < 0 || size_t(source) >= m_.images.size()) {
            Warn(use + " texture " + std::to_string(index) + " has no image it can use; left out");
            return {};
        }
        const auto done = images_.find(source);
        if (done != images_.end()) return done->second;
        const tinygltf::Image& image = m_.images[size_t(source)];
        std::vector<uint8_t> bytes;
        if (image.bufferView >= 0) {
            const std::span<const uint8_t> view = read_.View(image.bufferView, "image " + std::to_string(source));
            bytes.assign(view.begin(), view.end());
        } else {
            bytes.assign(image.image.begin(), image.image.end());
        }
        std::string ext;
        if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0) ext = ".png";
        else if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) ext = ".jpg";
        std::string name;
        if (!image.uri.empty() && image.uri.compare(0, 5, "data:") != 0) {
            name = fs::path(image.uri).filename().string();
        } else if (!image.name.empty()) {
            name = image.name;
        } else {
            name = "image" + std::to_string(source);
        }
        name = SafeFileName(name);
        std::string result;
        if (bytes.empty()) {
            Warn(use + " texture " + Quote(name) + " could not be read; left out");
        } else if (ext.empty()) {
            Warn(use + " texture " + Quote(name) + " is neither PNG nor JPEG; left out");
        } else {
            if (fs::path(name).extension() != ext) name += ext;
            result = UniqueTextureName(name);
            out_.textures.push_back({result, std::move(bytes)});
        }
        images_[source] = result;
        return result;
    }

    std::string UniqueTextureName(const std::string& wanted) {
        std::string name = wanted;
        const fs::path p(wanted);
        for (int k = 2; !textureNames_.insert(name).second; ++k) {
            name = p.stem().string() + "_" + std::to_string(k) + p.extension().string();
        }
        return name;
    }

    // A 4 x 4 TGA of a base colour factor (linear, written in sRGB as
    // texture files are).
    std::string ColourTexture(const std::string& material, const std::vector<double>& factor) {
        auto srgb = [](double c) {
            c = std::clamp(c, 0.0, 1.0);
            const double s = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
            return uint8_t(std::lround(s * 255.0));
        };
        return SolidTexture(SafeFileName(material) + "_colour.tga", srgb(factor[0]), srgb(factor[1]), srgb(factor[2]),
                            uint8_t(std::lround(std::clamp(factor[3], 0.0, 1.0) * 255.0)));
    }

    // A 4 x 4 uncompressed TGA of one colour, under a unique name.
    std::string SolidTexture(const std::string& wanted, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        std::vector<uint8_t> tga(18, 0);
        tga[2] = 2;                // uncompressed true colour
        tga[12] = 4, tga[14] = 4;  // 4 x 4
        tga[16] = 32;              // bits a pixel
        tga[17] = 8 | 0x20;        // 8 alpha bits, top-left origin
        for (int i = 0; i < 16; ++i) tga.insert(tga.end(), {b, g, r, a});
        const std::string name = UniqueTextureName(wanted);
        out_.textures.push_back({name, std::move(tga)});
        return name;
    }

    // The textures the surface effects read whatever the material: a flat
    // normal map (its height, in alpha, halfway) and full ambient light,
    // written once for all materials without their own.
    const std::string& FlatNormalTexture() {
        if (flatNormal_.empty()) flatNormal_ = SolidTexture("flat_normal.tga", 128, 128, 255, 128);
        return flatNormal_;
    }
    const std::string& NoOcclusionTexture() {
        if (noOcclusion_.empty()) noOcclusion_ = SolidTexture("no_occlusion.tga", 255, 255, 255, 255);
        return noOcclusion_;
    }

    // ------------------------------------------------ reporting

    void Summarise() {
        auto list = [](const std::vector<std::string>& names) {
            std::string s;
            for (const std::string& n : names) s += (s.empty() ? ": " : ", ") + n;
            return s;
        };
        out_.summary.push_back(std::to_string(meshCount_) + " meshes (" + std::to_string(submeshes_) + " submeshes, " +
                               std::to_string(triangles_) + " triangles), " + std::to_string(objects_) + " objects, " +
                               std::to_string(materialCount_) + " materials, " + std::to_string(out_.textures.size()) +
                               " textures");
        out_.summary.push_back(std::to_string(cameraNames_.size()) + " cameras" + list(cameraNames_));
        out_.summary.push_back(std::to_string(lightNames_.size()) + " lights" + list(lightNames_));
        out_.summary.push_back(std::to_string(dummyNames_.size()) + " dummies" + list(dummyNames_));
        out_.summary.push_back(std::to_string(channels_.size()) + " animation channels, sampled into " +
                               std::to_string(times_.size()) + " keys (" + NumberText((times_.size() - 1) * 0.1) + " s)");
    }

    // Counts bytes towards the scene file, which the scene reader takes up
    // to kMaxSceneFileBytes; fails before a file grows past it.
    void Budget(uint64_t bytes, const char* what) {
        sceneBytes_ += bytes;
        if (sceneBytes_ > kMaxSceneFileBytes) {
            Fail(std::string("the scene would be larger than the ") + std::to_string(kMaxSceneFileBytes >> 20) +
                 " MiB a scene file may have (" + what + ")");
        }
    }

    void Warn(const std::string& what) { out_.warnings.push_back(what); }
    [[noreturn]] void Fail(const std::string& what) const { read_.Fail(what); }

    const tinygltf::Model& m_;
    std::string file_;
    const GltfImportOptions& options_;
    GltfImport& out_;
    Reader read_;

    std::vector<int> order_;  // the scene's nodes, parents before children
    std::vector<int> parent_;
    std::vector<Pose> base_;
    std::vector<Channel> channels_;
    float longest_ = 0.0f;
    std::vector<float> times_;
    std::vector<bool> animated_;
    std::vector<std::vector<Pose>> world_;

    std::map<int, std::pair<int32_t, int32_t>> meshes_;
    std::map<int, std::pair<Vec3, Vec3>> meshBounds_;
    std::map<int, int32_t> materials_;
    std::map<int, std::string> images_;
    std::set<std::string> textureNames_;
    std::string flatNormal_, noOcclusion_;
    std::vector<std::pair<int, int>> pendingLights_;
    uint64_t sceneBytes_ = 0;
    bool bounds_ = false;
    Vec3 min_{}, max_{};

    size_t meshCount_ = 0, submeshes_ = 0, triangles_ = 0, objects_ = 0, materialCount_ = 0;
    std::vector<std::string> cameraNames_, lightNames_, dummyNames_;
};

bool Import(std::span<const uint8_t> bytes, const std::string& name, FileAccess& access,
            const GltfImportOptions& options, GltfImport& out, std::string& error) {
    try {
        tinygltf::TinyGLTF loader;
        loader.SetFsCallbacks({&FileExistsCallback, &ExpandCallback, &ReadWholeFileCallback, &WriteWholeFileCallback, &access});
        loader.SetImageLoader(&KeepImageBytes, nullptr);
        tinygltf::Model model;
        std::string err, warn;
        const std::string base = access.allowFiles ? access.folder.string() : std::string();
        const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
        if (bytes.size() > UINT32_MAX) {
            error = name + ": too large";
            return false;
        }
        size_t offset = 0;
        if (const size_t deep = JsonTooDeep(JsonText(bytes, binary, offset), kMaxGltfJsonDepth); deep != std::string::npos) {
            error = name + ": not a glTF file it can read: its JSON nests arrays and objects more than " +
                    std::to_string(kMaxGltfJsonDepth) + " deep (byte " + std::to_string(offset + deep) + ")";
            return false;
        }
        const bool ok = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, bytes.data(), unsigned(bytes.size()), base)
                               : loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(bytes.data()),
                                                            unsigned(bytes.size()), base);
        if (!ok) {
            while (!err.empty() && err.back() == '\n') err.pop_back();
            for (char& c : err) c = c == '\n' ? ';' : c;
            error = name + ": not a glTF file it can read: " + (err.empty() ? "unknown reason" : err);
            return false;
        }
        for (size_t start = 0; start < warn.size();) {
            const size_t end = std::min(warn.find('\n', start), warn.size());
            if (end > start) out.warnings.push_back(warn.substr(start, end - start));
            start = end + 1;
        }
        for (const std::string& ext : model.extensionsRequired) {
            if (ext != "KHR_lights_punctual" && ext != "KHR_materials_emissive_strength") {
                out.warnings.push_back("the file requires the extension " + ext + ", which is not read; what it changes is missing");
            }
        }
        Importer(model, name, options, out).Run();
        return true;
    } catch (const Failure& f) {
        error = f.what;
    } catch (const std::bad_alloc&) {
        error = name + ": out of memory importing it";
    } catch (const std::exception& e) {
        error = name + ": not a glTF file it can read: " + e.what();
    }
    return false;
}

}  // namespace

Transform SceneCameraTransform(const Vec3& position, const Quat& worldRotation) {
    // Both conventions look down the camera's -Z with +Y up; the scene
    // stores the rotation that takes the world to the camera.
    Transform t;
    t.position = position;
    t.rotation = QuatInverse(QuatNormalize(worldRotation));
    return t;
}

LightValues LightFromGltf(const Vec3& color, double intensity, double range, double brightest, float sceneDiagonal,
                          const GltfImportOptions& options) {
    LightValues v;
    v.color = Scaled(color, options.lightScale);
    if (options.lightRadius > 0.0f) {
        v.radius = options.lightRadius;
    } else if (range > 0.0) {
        v.radius = float(range);
    } else {
        v.radius = brightest > 0.0 ? sceneDiagonal * float(std::sqrt(intensity / brightest)) : 0.0f;
    }
    return v;
}

bool ImportGltfFile(const std::string& path, const GltfImportOptions& options, GltfImport& out, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadRegularFile(path, kMaxGltfFileBytes, bytes, reason)) {
        error = path + ": " + reason;
        return false;
    }
    FileAccess access;
    access.allowFiles = true;
    std::error_code ec;
    access.folder = fs::absolute(fs::path(path), ec).parent_path();
    return Import(bytes, path, access, options, out, error);
}

bool ImportGltfBytes(std::span<const uint8_t> bytes, const std::string& name, const GltfImportOptions& options,
                     GltfImport& out, std::string& error) {
    FileAccess access;
    return Import(bytes, name, access, options, out, error);
}

}  // namespace jolp::tools
