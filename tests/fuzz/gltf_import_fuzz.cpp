// libFuzzer target for the glTF importer (tinygltf compiled in with it, so
// both are instrumented): any bytes, as a .gltf or a .glb, are either
// refused with a reason naming the file or imported into a scene that the
// scene reader accepts whole, with texture names that are plain, distinct
// file names. No file is read beyond the bytes. The corpus holds extras
// nested as deep as the importer reads (deepest_extras.gltf) and a level
// deeper (too_deep_extras.gltf), so that the parser's recursion is run at
// its limit under the sanitizers and mutations reach past it.
#include "scene/scene_file.h"
#include "tools/gltf_import.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    jolp::tools::GltfImport out;
    std::string error;
    if (!jolp::tools::ImportGltfBytes(std::span(data, size), "fuzz.gltf", {}, out, error)) {
        if (error.rfind("fuzz.gltf: ", 0) != 0) std::abort();
        return 0;
    }
    const std::vector<uint8_t> bytes = out.scene.Write();
    jolp::SceneFile reread;
    jolp::SceneReadError readError;
    if (!jolp::ReadSceneFile(bytes, reread, readError)) std::abort();
    std::set<std::string> names;
    for (const jolp::tools::ImportedTexture& t : out.textures) {
        if (t.name.empty() || t.name[0] == '.' || t.name.find('/') != std::string::npos || !names.insert(t.name).second) {
            std::abort();
        }
    }
    return 0;
}
