#include "framework/demo_track.h"

#include "tests/support/test_program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace jolp::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Logs "name.Update@localTime" and "name.Post" into a shared list.
class LoggingTrack final : public DemoTrack {
public:
    LoggingTrack(std::string name, uint32_t start, uint32_t end, std::vector<std::string>* log)
        : DemoTrack(start, end), name_(std::move(name)), log_(log) {}
    void Update(DemoProgram&) override { log_->push_back(name_ + ".Update@" + std::to_string(localTime)); }
    void PostUpdate() override { log_->push_back(name_ + ".Post"); }

private:
    std::string name_;
    std::vector<std::string>* log_;
};

class TrackTreeTest : public ::testing::Test {
protected:
    // The program only serves as the argument handed to Update.
    TestProgram program{RunConfig{}};
    std::vector<std::string> log;
};

TEST_F(TrackTreeTest, ConstructionAndAttachment) {
    LoggingTrack parent("P", 0, 1000, &log);
    LoggingTrack child("C", 250, 750, &log);
    EXPECT_EQ(child.start, 250u);
    EXPECT_EQ(child.length, 500u);
    EXPECT_EQ(child.end, 750u);
    EXPECT_EQ(child.localTime, 0u);
    EXPECT_TRUE(child.active);
    EXPECT_EQ(child.parent, nullptr);
    parent.AddChild(&child);
    EXPECT_EQ(child.parent, &parent);
    EXPECT_THAT(parent.children, ElementsAre(&child));
}

TEST_F(TrackTreeTest, UpdateComesBeforeChildrenDepthFirstAndPostUpdateAfter) {
    LoggingTrack root("T", 0, 1000, &log);
    LoggingTrack a("A", 0, 1000, &log);
    LoggingTrack a1("A1", 0, 1000, &log);
    LoggingTrack b("B", 0, 1000, &log);
    root.AddChild(&a);
    a.AddChild(&a1);
    root.AddChild(&b);
    root.localTime = 10;
    root.Process(program);
    EXPECT_THAT(log, ElementsAre("T.Update@10", "A.Update@10", "A1.Update@10", "A1.Post", "A.Post", "B.Update@10",
                                 "B.Post", "T.Post"));
}

TEST_F(TrackTreeTest, AChildStartsInTheFrameItsParentReachesItsStart) {
    LoggingTrack root("T", 0, 10000, &log);
    LoggingTrack child("C", 500, 1500, &log);
    root.AddChild(&child);
    root.localTime = 499;
    root.Process(program);
    EXPECT_EQ(child.localTime, 0u) << "a waiting child's clock is not touched";
    root.localTime = 500;
    root.Process(program);
    root.localTime = 733;
    root.Process(program);
    EXPECT_THAT(log, ElementsAre("T.Update@499", "T.Post", "T.Update@500", "C.Update@0", "C.Post", "T.Post",
                                 "T.Update@733", "C.Update@233", "C.Post", "T.Post"));
}

TEST_F(TrackTreeTest, ZeroLengthTracksFinishWithoutEverBeingUpdated) {
    LoggingTrack root("T", 0, 1000, &log);
    LoggingTrack flash("F", 100, 100, &log);
    root.AddChild(&flash);
    root.localTime = 100;
    root.Process(program);
    EXPECT_FALSE(flash.active);
    EXPECT_THAT(log, ElementsAre("T.Update@100", "T.Post"));
}

TEST_F(TrackTreeTest, JumpingOverAnEndFinishesTheTrackWithoutAnUpdatePastIt) {
    LoggingTrack root("T", 0, 10000, &log);
    LoggingTrack child("C", 0, 100, &log);
    LoggingTrack grandchild("G", 0, 5000, &log);
    root.AddChild(&child);
    child.AddChild(&grandchild);
    root.localTime = 99;
    root.Process(program);
    log.clear();
    root.localTime = 4000;  // far past the child's end
    root.Process(program);
    EXPECT_FALSE(child.active);
    EXPECT_EQ(child.localTime, 4000u);
    EXPECT_TRUE(grandchild.active) << "children of a finished track are simply no longer processed";
    // Finished is final, even if the parent's clock went back.
    root.localTime = 50;
    root.Process(program);
    EXPECT_THAT(log, ElementsAre("T.Update@4000", "T.Post", "T.Update@50", "T.Post"));
}

TEST_F(TrackTreeTest, TheRootFinishesWhenItsLocalTimeReachesItsLength) {
    LoggingTrack root("T", 0, 1000, &log);
    root.localTime = 999;
    root.Process(program);
    EXPECT_TRUE(root.active);
    root.localTime = 1000;
    root.Process(program);
    EXPECT_FALSE(root.active);
    EXPECT_THAT(log, ElementsAre("T.Update@999", "T.Post"));
}

TEST_F(TrackTreeTest, ARootWithTheLongestLengthNeverFinishesOnItsOwn) {
    LoggingTrack root("T", 0, 0, &log);
    root.length = 0xFFFFFFFFu;
    root.localTime = 0xFFFFFFFEu;
    root.Process(program);
    EXPECT_TRUE(root.active);
}

TEST_F(TrackTreeTest, TimesAreComparedUnsigned) {
    // A child starting above 2^31 ms is still in the future at 1000 ms (a
    // signed comparison would start it), and a length above 2^31 does not
    // finish it.
    LoggingTrack root("T", 0, 0, &log);
    root.length = 0xFFFFFFFFu;
    LoggingTrack late("L", 0x80000000u, 0xFFFFFFF0u, &log);
    LoggingTrack longTrack("G", 0, 0x90000000u, &log);
    root.AddChild(&late);
    root.AddChild(&longTrack);
    root.localTime = 1000;
    root.Process(program);
    root.localTime = 0x80000010u;
    root.Process(program);
    EXPECT_THAT(log, ElementsAre("T.Update@1000", "G.Update@1000", "G.Post", "T.Post", "T.Update@2147483664",
                                 "L.Update@16", "L.Post", "G.Update@2147483664", "G.Post", "T.Post"));
}

TEST_F(TrackTreeTest, ATrackStartingAfterItsParentEndsIsNeverProcessed) {
    LoggingTrack root("T", 0, 1000, &log);
    LoggingTrack never("N", 1500, 2000, &log);
    root.AddChild(&never);
    for (uint32_t t = 0; t <= 2000; t += 250) {
        root.localTime = t;
        root.Process(program);
    }
    EXPECT_EQ(never.localTime, 0u);
    EXPECT_TRUE(never.active);
    for (const std::string& line : log) EXPECT_EQ(line.rfind("N.", 0), std::string::npos) << line;
}

TEST_F(TrackTreeTest, ChildrenAttachedDuringAFrameAreVisitedInThatFrame) {
    class Spawner final : public DemoTrack {
    public:
        Spawner(DemoTrack* parent, DemoTrack* spawn) : DemoTrack(0, 1000), parent_(parent), spawn_(spawn) {}
        void Update(DemoProgram&) override {
            if (spawn_) parent_->AddChild(spawn_);
            spawn_ = nullptr;
        }

    private:
        DemoTrack* parent_;
        DemoTrack* spawn_;
    };
    LoggingTrack root("T", 0, 1000, &log);
    LoggingTrack late("S", 0, 1000, &log);
    Spawner spawner(&root, &late);
    root.AddChild(&spawner);
    root.localTime = 5;
    root.Process(program);
    EXPECT_THAT(log, ElementsAre("T.Update@5", "S.Update@5", "S.Post", "T.Post"));
}

TEST_F(TrackTreeTest, DestroyingATrackLeavesItsChildren) {
    LoggingTrack child("C", 0, 10, &log);
    {
        LoggingTrack parent("P", 0, 10, &log);
        parent.AddChild(&child);
    }
    EXPECT_TRUE(child.active);
    EXPECT_THAT(log, IsEmpty());
}

}  // namespace
}  // namespace jolp::testing
