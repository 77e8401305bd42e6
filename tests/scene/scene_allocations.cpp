// A steady frame of the scene allocates nothing: EvaluateCamera, Animate,
// SubmitDrawItems and SubmitLights run many frames over a loaded scene while
// every operator new of the process is counted.
#include "scene/jolp3d.h"
#include "tests/support/recording_device.h"

#include "tests/support/allocation_counter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace jolp {
namespace {

// Keeps what it is given in fixed storage.
class CountingSink final : public DrawSink {
public:
    void SubmitItem(const jolp::DrawItem& item) override { last = item, ++items; }
    void SubmitLight(const jolp::RenderLight& light) override { lastLight = light, ++lights; }
    jolp::DrawItem last;
    jolp::RenderLight lastLight;
    int items = 0;
    int lights = 0;
};

TEST(SceneFrameAllocations, SteadyFramesAllocateNothing) {
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    // Keys added out of order: the first evaluation sorts them in place.
    builder.AddCamera("Camera02", 2, 3);
    const std::vector<uint8_t> bytes = builder.Write();
    testing::RecordingDevice device;
    JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "sample", &device));
    KeyList<float>* fov = scene.tracks[3].Scalars();
    ASSERT_NE(fov, nullptr);
    fov->Add(-1.0f, 2.0f);

    int token = 0;
    for (SceneMaterial* m : scene.leafMaterials) m->material = reinterpret_cast<jolp::Material*>(&token);
    std::vector<jolp::RenderLight> renderLights(scene.lights.size());
    for (size_t i = 0; i < scene.lights.size(); ++i) scene.lights[i].renderLight = &renderLights[i];
    CountingSink sink;
    const Matrix root;

    // The counter sees allocations at all.
    const uint64_t probe = testing::AllocationCount();
    int* volatile kept = new int(7);  // volatile: the pair may not be elided
    delete kept;
    ASSERT_EQ(testing::AllocationCount(), probe + 1);

    const uint64_t before = testing::AllocationCount();
    float sum = 0.0f;
    for (int frame = 0; frame < 500; ++frame) {
        const float t = static_cast<float>(frame) * 0.01f - 1.0f;
        sum += scene.EvaluateCamera("Camera01", t, 16.0f / 9.0f, 1.0f, 5000.0f).fov;
        sum += scene.EvaluateCamera("Camera02", t, 16.0f / 9.0f, 1.0f, 5000.0f).fov;
        sum += scene.EvaluateCamera("NoSuchCamera", t, 16.0f / 9.0f, 1.0f, 5000.0f).fov;
        scene.Animate(root, t);
        scene.SubmitDrawItems(sink);
        scene.SubmitLights(sink);
        sum += scene.FindDummy("Dummy01")->transform.position.y;
    }
    const uint64_t allocations = testing::AllocationCount() - before;
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(sink.items, 500 * 3);
    EXPECT_EQ(sink.lights, 500 * 2);
    EXPECT_GT(sum, 0.0f);
}

}  // namespace
}  // namespace jolp
