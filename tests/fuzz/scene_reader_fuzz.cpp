// libFuzzer target for the scene file reader: any bytes are either refused
// with an offset inside the input or accepted, and an accepted file builds a
// scene (without a device) that can be animated, evaluated and submitted.
#include "scene/jolp3d.h"
#include "scene/scene_file.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

class NullSink final : public jolp::DrawSink {
public:
    void SubmitItem(const jolp::DrawItem&) override {}
    void SubmitLight(const jolp::RenderLight&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    jolp::SceneFile file;
    jolp::SceneReadError error;
    if (!jolp::ReadSceneFile(bytes, file, error)) {
        if (error.offset > size || error.problem.empty()) std::abort();
        return 0;
    }
    // An accepted file writes back to the same bytes, less what it may drop
    // (trailing bytes, counts of zero or less).
    const std::vector<uint8_t> again = jolp::WriteSceneFile(file);
    jolp::SceneFile reread;
    if (!jolp::ReadSceneFile(again, reread, error) || jolp::WriteSceneFile(reread) != again) std::abort();

    jolp::JOLP3D scene;
    if (!scene.LoadBytes(bytes, "fuzz", nullptr)) std::abort();
    int token = 0;
    for (jolp::SceneMaterial* m : scene.leafMaterials) m->material = reinterpret_cast<jolp::Material*>(&token);
    jolp::RenderLight light;
    for (jolp::SceneLight& l : scene.lights) l.renderLight = &light;
    NullSink sink;
    for (float t : {-1.0f, 0.0f, 0.05f, 1.0f, scene.endTime, 1e9f}) {
        scene.Animate(jolp::Matrix{}, t);
        for (const auto& [name, camera] : scene.cameras) scene.EvaluateCamera(name, t, 16.0f / 9.0f, 1.0f, 5000.0f);
        scene.SubmitDrawItems(sink);
        scene.SubmitLights(sink);
    }
    for (const jolp::SceneDummy& d : scene.dummies) {
        if (scene.FindDummy(d.name) == nullptr) std::abort();
    }
    for (const jolp::SceneMaterial& m : scene.materials) {
        for (const auto& [key, value] : m.parameters) (void)m.GetFloat(key);
    }
    return 0;
}
