#include "framework/resource.h"
#include "framework/resource_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace jolp {
namespace {

class Picture : public Resource {};
class Photo final : public Picture {};
class Tune final : public Resource {};

class Witness final : public Resource {
public:
    explicit Witness(bool& destroyed) : destroyed_(destroyed) {}
    ~Witness() override { destroyed_ = true; }

private:
    bool& destroyed_;
};

TEST(ResourceRegistryEntries, SlotInsertsNullAndKeepsOneSlotPerName) {
    ResourceRegistry registry;
    Tune tune;
    Resource*& slot = registry.Slot("music");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(registry.Size(), 1u);

    slot = &tune;
    EXPECT_EQ(&registry.Slot("music"), &slot);
    EXPECT_EQ(registry.Size(), 1u);
    const ResourceRegistry::Entry* entry = registry.Find("music");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->first, "music");
    EXPECT_EQ(entry->second, &tune);
}

TEST(ResourceRegistryEntries, FindNeverInserts) {
    ResourceRegistry registry;
    EXPECT_EQ(registry.Find("scene"), nullptr);
    EXPECT_EQ(registry.FindAs<Tune>("scene"), nullptr);
    EXPECT_EQ(registry.Size(), 0u);
}

TEST(ResourceRegistryEntries, FirstRegistrationWinsEvenWhenNull) {
    ResourceRegistry registry;
    Tune first, second;
    registry.AddIfAbsent("music", &first);
    registry.AddIfAbsent("music", &second);
    EXPECT_EQ(registry.Find("music")->second, &first);

    registry.AddIfAbsent("scene", nullptr);
    registry.AddIfAbsent("scene", &second);
    ASSERT_NE(registry.Find("scene"), nullptr);
    EXPECT_EQ(registry.Find("scene")->second, nullptr);

    registry.Slot("reserved");
    registry.AddIfAbsent("reserved", &second);
    EXPECT_EQ(registry.Find("reserved")->second, nullptr);
    EXPECT_EQ(registry.Size(), 3u);
}

TEST(ResourceRegistryEntries, FindAsChecksTheClass) {
    ResourceRegistry registry;
    Photo photo;
    registry.AddIfAbsent("powerBall.jpg", &photo);
    registry.AddIfAbsent("empty", nullptr);

    EXPECT_EQ(registry.FindAs<Photo>("powerBall.jpg"), &photo);
    EXPECT_EQ(registry.FindAs<Picture>("powerBall.jpg"), &photo);
    EXPECT_EQ(registry.FindAs<Tune>("powerBall.jpg"), nullptr);
    EXPECT_EQ(registry.FindAs<Picture>("empty"), nullptr);
    EXPECT_EQ(registry.FindAs<Picture>("absent"), nullptr);
}

TEST(ResourceRegistryEntries, NamesAreExactByteStrings) {
    ResourceRegistry registry;
    Tune lower, upper, high, nul;
    registry.AddIfAbsent("music", &lower);
    registry.AddIfAbsent("Music", &upper);
    registry.AddIfAbsent("\xC3", &high);
    registry.AddIfAbsent(std::string("music\0x", 7), &nul);

    EXPECT_EQ(registry.Size(), 4u);
    EXPECT_EQ(registry.Find("music")->second, &lower);
    EXPECT_EQ(registry.Find("Music")->second, &upper);
    EXPECT_EQ(registry.Find("\xC3")->second, &high);
    EXPECT_EQ(registry.Find(std::string("music\0x", 7))->second, &nul);
    EXPECT_EQ(registry.Find("MUSIC"), nullptr);
    EXPECT_EQ(registry.Find("\xC3\x80"), nullptr);
}

TEST(ResourceRegistryEntries, DestroyingTheRegistryLeavesResourcesAlive) {
    bool destroyed = false;
    auto witness = std::make_unique<Witness>(destroyed);
    {
        ResourceRegistry registry;
        registry.AddIfAbsent("witness", witness.get());
        registry.Slot("other") = witness.get();
    }
    EXPECT_FALSE(destroyed);
    witness.reset();
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace jolp
