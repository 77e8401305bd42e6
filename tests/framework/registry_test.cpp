#include "framework/resource_registry.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

class Texture final : public Resource {};
class Scene final : public Resource {};
class Tracked final : public Resource {
public:
    explicit Tracked(bool* destroyed) : destroyed_(destroyed) {}
    ~Tracked() override { *destroyed_ = true; }

private:
    bool* destroyed_;
};

TEST(ResourceRegistryTest, TheFirstRegistrationOfANameWins) {
    ResourceRegistry registry;
    Texture first;
    Texture second;
    registry.AddIfAbsent("powerBall.jpg", &first);
    registry.AddIfAbsent("powerBall.jpg", &second);
    EXPECT_EQ(registry.Find("powerBall.jpg")->second, &first);
    EXPECT_EQ(registry.Size(), 1u);
}

TEST(ResourceRegistryTest, ANullRegisteredFirstIsNeverReplaced) {
    ResourceRegistry registry;
    Texture texture;
    registry.AddIfAbsent("broken.png", nullptr);
    registry.AddIfAbsent("broken.png", &texture);
    const ResourceRegistry::Entry* entry = registry.Find("broken.png");
    ASSERT_NE(entry, nullptr) << "the name is taken even though its pointer is null";
    EXPECT_EQ(entry->second, nullptr);
    EXPECT_EQ(registry.FindAs<Texture>("broken.png"), nullptr);
}

TEST(ResourceRegistryTest, SlotInsertsFindDoesNot) {
    ResourceRegistry registry;
    EXPECT_EQ(registry.Find("scene"), nullptr);
    EXPECT_EQ(registry.Size(), 0u);
    Resource*& slot = registry.Slot("scene");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(registry.Size(), 1u);
    Scene scene;
    slot = &scene;
    EXPECT_EQ(registry.Slot("scene"), &scene);
    EXPECT_EQ(registry.Size(), 1u);
}

TEST(ResourceRegistryTest, FindAsChecksTheClass) {
    ResourceRegistry registry;
    Texture texture;
    Scene scene;
    registry.AddIfAbsent("a.dds", &texture);
    registry.AddIfAbsent("scene", &scene);
    EXPECT_EQ(registry.FindAs<Texture>("a.dds"), &texture);
    EXPECT_EQ(registry.FindAs<Scene>("a.dds"), nullptr);
    EXPECT_EQ(registry.FindAs<Scene>("scene"), &scene);
    EXPECT_EQ(registry.FindAs<Resource>("scene"), &scene);
    EXPECT_EQ(registry.FindAs<Scene>("missing"), nullptr);
    EXPECT_EQ(registry.Find("missing"), nullptr) << "FindAs never inserts";
}

TEST(ResourceRegistryTest, NamesAreExactBytes) {
    ResourceRegistry registry;
    Texture lower;
    Texture upper;
    Texture accented;
    registry.AddIfAbsent("lightCube.dds", &lower);
    registry.AddIfAbsent("LightCube.dds", &upper);
    registry.AddIfAbsent("lightCub\xC3\xA9.dds", &accented);
    EXPECT_EQ(registry.Find("lightCube.dds")->second, &lower);
    EXPECT_EQ(registry.Find("LightCube.dds")->second, &upper);
    EXPECT_EQ(registry.Find("lightCub\xC3\xA9.dds")->second, &accented);
    EXPECT_EQ(registry.Find("lightcube.dds"), nullptr);
    EXPECT_EQ(registry.Find("lightCube.dd"), nullptr);
    EXPECT_EQ(registry.Size(), 3u);
}

TEST(ResourceRegistryTest, DestroyingTheRegistryLeavesResourcesAlive) {
    bool destroyed = false;
    Tracked resource(&destroyed);
    {
        ResourceRegistry registry;
        registry.AddIfAbsent("tracked", &resource);
    }
    EXPECT_FALSE(destroyed);
}

}  // namespace
}  // namespace jolp
