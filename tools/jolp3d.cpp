// jolp3d - looks into JOLP3D scene files, and imports glTF 2.0 into them,
// without a GPU.
//
//   jolp3d info FILE     what the scene holds: counts, endTime, cameras,
//                        lights with their switches, dummies, materials
//                        with shader and parameters, objects
//   jolp3d check FILE    exit 0 for a valid file, 1 with the loader's message
//   jolp3d sample FILE   writes a small sample scene
//   jolp3d import IN OUT [--light-scale K] [--light-radius R] [--length S]
//                        a glTF 2.0 file as a data folder (gltf_import.h)
//
// Exit status: 0 done, 1 the file could not be read, written or is invalid
// (or what it prints could not be written to stdout), 2 a bad command line.
#include "platform/standard_output.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "tools/gltf_import.h"
#include "tools/import_folder.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: jolp3d COMMAND FILE\n"
    "       jolp3d import IN OUT_FOLDER [--light-scale K] [--light-radius R] [--length S]\n"
    "Looks into JOLP3D scene files and imports glTF 2.0 into them; needs no GPU.\n"
    "\n"
    "Commands:\n"
    "  info FILE     print what the scene holds: counts, endTime, cameras, lights\n"
    "                with their shadow/volume/cube switches, dummies, materials\n"
    "                with their shader names and parameters, and every object's\n"
    "                mesh and material\n"
    "  check FILE    exit 0 when FILE is a valid scene; otherwise print why and\n"
    "                exit 1\n"
    "  sample FILE   write a small sample scene to FILE\n"
    "  import IN OUT_FOLDER\n"
    "                read the glTF 2.0 file IN (.gltf with its files beside it, or\n"
    "                .glb) and write OUT_FOLDER/media/scenes/scene.JOLP3D and its\n"
    "                textures under OUT_FOLDER/media/texs; an existing folder keeps\n"
    "                its other files. Prints what was imported and what was not.\n"
    "      --light-scale K   multiply every light's colour by K (default 1)\n"
    "      --light-radius R  give every light the radius R (default: its range, or\n"
    "                        the scene's diagonal times the square root of its\n"
    "                        intensity over the brightest light's)\n"
    "      --length S        sample S seconds of animation (default: the longest)\n"
    "  --help        show this text\n"
    "\n"
    "Exit status: 0 done, 1 unreadable, unwritable or invalid file, 2 bad command line.\n";

std::string Quoted(std::string_view s) {
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
    return out + "\"";
}

// The shortest text that reads back as the same float.
std::string Number(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

void PrintPairs(const jolp::NameMap& pairs) {
    for (const auto& [name, value] : pairs) std::printf("      %s = %s\n", Quoted(name).c_str(), Quoted(value).c_str());
}

// Loads path without a device; false after printing why, in the tool's name.
bool LoadScene(jolp::JOLP3D& scene, const std::string& path) {
    scene.reportOnStderr = false;
    if (scene.Load(path, nullptr)) return true;
    std::fprintf(stderr, "jolp3d: %s\n", scene.loadError.c_str());
    return false;
}

int Info(const std::string& path) {
    jolp::JOLP3D scene;
    if (!LoadScene(scene, path)) return 1;

    size_t submeshes = 0;
    uint64_t vertices = 0, indices = 0;
    for (const jolp::Mesh& mesh : scene.meshes) {
        submeshes += mesh.submeshes.size();
        for (const jolp::Submesh& s : mesh.submeshes) {
            vertices += s.vertexCount;
            indices += s.indexCount;
        }
    }
    size_t byKind[4] = {0, 0, 0, 0};
    for (const jolp::AnimationTrack& t : scene.tracks) ++byKind[t.kind >= 0 && t.kind <= 2 ? t.kind : 3];
    size_t drawEntries = 0;
    for (const jolp::DrawListEntry* e = scene.drawList; e && e->object; e = e->next) ++drawEntries;

    std::printf("file: %s\n", path.c_str());
    std::printf("meshes: %zu (%zu submeshes, %llu vertices, %llu indices)\n", scene.meshes.size(), submeshes,
                static_cast<unsigned long long>(vertices), static_cast<unsigned long long>(indices));
    std::printf("materials: %zu (%d leaf)\n", scene.materials.size(), scene.LeafMaterialCount());
    std::printf("objects: %zu\n", scene.objects.size());
    std::printf("cameras: %zu\n", scene.cameras.size());
    std::printf("lights: %d\n", scene.LightCount());
    std::printf("dummies: %zu\n", scene.dummies.size());
    std::printf("tracks: %zu (%zu scalar, %zu vector, %zu transform, %zu other)\n", scene.tracks.size(), byKind[0],
                byKind[1], byKind[2], byKind[3]);
    std::printf("endTime: %s\n", Number(scene.endTime).c_str());
    std::printf("draw list: %zu entries\n", drawEntries);

    std::printf("cameras:\n");
    for (const auto& [name, camera] : scene.cameras) {
        std::printf("  %s transform track %d, field-of-view track %d\n", Quoted(name).c_str(), camera.transformTrack,
                    camera.fovTrack);
    }
    std::printf("lights:\n");
    for (size_t i = 0; i < scene.lights.size(); ++i) {
        const jolp::SceneLight& l = scene.lights[i];
        std::printf("  %zu %s shadow %s, volume %s, cube %s; tracks position %d, colour %d, radius %d\n", i,
                    Quoted(l.name).c_str(), YesNo(l.CastsShadow()), YesNo(l.IsVolume()), YesNo(l.UsesLightCube()),
                    l.positionTrack, l.colorTrack, l.radiusTrack);
    }
    std::printf("dummies:\n");
    for (size_t i = 0; i < scene.dummies.size(); ++i) {
        const jolp::SceneDummy& d = scene.dummies[i];
        std::printf("  %zu %s transform track %d, %zu properties\n", i, Quoted(d.name).c_str(), d.transformTrack,
                    d.properties.size());
        PrintPairs(d.properties);
    }
    std::printf("materials:\n");
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        const jolp::SceneMaterial& m = scene.materials[i];
        if (!m.subMaterials.empty()) {
            std::printf("  %zu %s multi-material:", i, Quoted(m.name).c_str());
            for (int32_t s : m.subMaterials) std::printf(" %d", s);
            std::printf("\n");
            continue;
        }
        std::printf("  %zu %s shader %s, %zu parameters\n", i, Quoted(m.name).c_str(), Quoted(m.shaderName).c_str(),
                    m.parameters.size());
        PrintPairs(m.parameters);
    }
    std::printf("objects:\n");
    for (size_t i = 0; i < scene.objects.size(); ++i) {
        const jolp::SceneObject& o = scene.objects[i];
        const jolp::SceneMaterial& m = scene.materials[static_cast<size_t>(o.materialIndex)];
        std::printf("  %zu %s mesh %d (%zu submeshes), material %d %s, transform track %d\n", i,
                    Quoted(o.name).c_str(), o.meshIndex,
                    scene.meshes[static_cast<size_t>(o.meshIndex)].submeshes.size(), o.materialIndex,
                    Quoted(m.name).c_str(), o.transformTrack);
    }
    return 0;
}

int Check(const std::string& path) {
    jolp::JOLP3D scene;
    if (!LoadScene(scene, path)) return 1;
    std::printf("%s: valid scene file\n", path.c_str());
    return 0;
}

int Sample(const std::string& path) {
    jolp::SceneFileBuilder builder;
    jolp::BuildSampleScene(builder);
    std::string reason;
    if (!jolp::WriteSceneFileTo(path, builder.File(), reason)) {
        std::fprintf(stderr, "jolp3d: cannot write %s: %s\n", path.c_str(), reason.c_str());
        return 1;
    }
    return 0;
}

int BadCommandLine(const std::string& why) {
    std::fprintf(stderr, "jolp3d: %s\nTry 'jolp3d --help'.\n", why.c_str());
    return 2;
}

// A finite number of at least `least` (above it when `above`), or false.
bool ParseNumber(const char* text, float least, bool above, float& value) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v) || v < least || (above && v == least) || v > 1e9) return false;
    value = static_cast<float>(v);
    return true;
}

int Import(int argc, char** argv) {
    jolp::tools::GltfImportOptions options;
    std::vector<std::string> paths;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--light-scale" || arg == "--light-radius" || arg == "--length") {
            if (i + 1 >= argc) return BadCommandLine(std::string(arg) + " needs a value");
            const char* value = argv[++i];
            const bool ok = arg == "--light-scale"    ? ParseNumber(value, 0.0f, false, options.lightScale)
                            : arg == "--light-radius" ? ParseNumber(value, 0.0f, true, options.lightRadius)
                                                      : ParseNumber(value, 0.0f, false, options.length);
            if (!ok) return BadCommandLine("bad " + std::string(arg) + " '" + value + "'");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return BadCommandLine("unknown option '" + std::string(arg) + "'");
        } else {
            paths.emplace_back(arg);
        }
    }
    if (paths.size() != 2) return BadCommandLine("import takes IN and OUT_FOLDER");
    jolp::tools::GltfImport result;
    std::string error;
    if (!jolp::tools::ImportGltfFile(paths[0], options, result, error) ||
        !jolp::tools::WriteImportFolder(result, paths[1], error)) {
        std::fprintf(stderr, "jolp3d: %s\n", error.c_str());
        return 1;
    }
    std::printf("imported %s into %s:\n", paths[0].c_str(), paths[1].c_str());
    for (const std::string& line : result.summary) std::printf("  %s\n", line.c_str());
    if (!result.warnings.empty()) std::printf("not imported:\n");
    for (const std::string& line : result.warnings) std::printf("  %s\n", line.c_str());
    return 0;
}

int Run(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2) return BadCommandLine("no command given");
    const std::string command = argv[1];
    if (command == "import") return Import(argc, argv);
    if (command != "info" && command != "check" && command != "sample") {
        return BadCommandLine("unknown command '" + command + "'");
    }
    if (argc != 3) return BadCommandLine(command + " takes exactly one FILE");
    const std::string path = argv[2];
    if (command == "info") return Info(path);
    if (command == "check") return Check(path);
    return Sample(path);
}

}  // namespace

int main(int argc, char** argv) { return jolp::FinishStandardOutput("jolp3d", Run(argc, argv)); }
