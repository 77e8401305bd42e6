#include "framework/demo_program.h"
#include "framework/demo_track.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jolp {
namespace {

// A program that is only ever used as the argument of Process; Init and Run
// are never called, so no window, device or sound is made.
class InertProgram final : public DemoProgram {
public:
    InertProgram() : DemoProgram(nullptr) {}
    void QueueWorkers(WorkerQueue&) override {}
    bool BuildTimeline() override { return true; }
};

using Log = std::vector<std::string>;

// Logs "name.Update@localTime" and "name.Post"; onUpdate runs inside Update.
class LogTrack final : public DemoTrack {
public:
    LogTrack(std::string name, Log& log, uint32_t start, uint32_t end)
        : DemoTrack(start, end), name_(std::move(name)), log_(log) {}

    void Update(DemoProgram& program) override {
        EXPECT_EQ(&program, expectedProgram);
        log_.push_back(name_ + ".Update@" + std::to_string(localTime));
        if (onUpdate) onUpdate();
    }
    void PostUpdate() override { log_.push_back(name_ + ".Post"); }

    std::function<void()> onUpdate;
    const DemoProgram* expectedProgram = nullptr;

private:
    std::string name_;
    Log& log_;
};

constexpr uint32_t kForever = 0xFFFFFFFFu;

class DemoTrackTest : public ::testing::Test {
protected:
    DemoTrackTest() { root.expectedProgram = &program; }

    // Root clock at t, then one frame of the whole tree.
    void Frame(uint32_t t) {
        root.localTime = t;
        root.Process(program);
    }
    LogTrack& Make(const std::string& name, uint32_t start, uint32_t end) {
        tracks.push_back(std::make_unique<LogTrack>(name, log, start, end));
        tracks.back()->expectedProgram = &program;
        return *tracks.back();
    }

    InertProgram program;
    Log log;
    std::vector<std::unique_ptr<LogTrack>> tracks;
    LogTrack root{"root", log, 0, kForever};
};

TEST_F(DemoTrackTest, LengthIsEndMinusStartUnsigned) {
    const DemoTrack& t = Make("t", 100, 350);
    EXPECT_EQ(t.start, 100u);
    EXPECT_EQ(t.length, 250u);
    EXPECT_EQ(Make("backwards", 10, 5).length, kForever - 4);
}

TEST_F(DemoTrackTest, VisitsDepthFirstInAttachmentOrder) {
    LogTrack& a = Make("A", 0, 100);
    LogTrack& a1 = Make("A1", 0, 100);
    LogTrack& b = Make("B", 0, 100);
    root.AddChild(&a);
    a.AddChild(&a1);
    root.AddChild(&b);
    EXPECT_EQ(a1.parent, &a);
    EXPECT_EQ(b.parent, &root);

    Frame(10);
    EXPECT_EQ(log, (Log{"root.Update@10", "A.Update@10", "A1.Update@10", "A1.Post", "A.Post", "B.Update@10",
                        "B.Post", "root.Post"}));
}

TEST_F(DemoTrackTest, ChildStartsWhenParentTimeReachesItsStart) {
    LogTrack& child = Make("child", 50, 80);
    root.AddChild(&child);
    child.localTime = 777;

    Frame(49);
    EXPECT_EQ(child.localTime, 777u) << "a child not yet started keeps its time";
    Frame(50);
    Frame(79);
    EXPECT_EQ(log, (Log{"root.Update@49", "root.Post", "root.Update@50", "child.Update@0", "child.Post",
                        "root.Post", "root.Update@79", "child.Update@29", "child.Post", "root.Post"}));
}

TEST_F(DemoTrackTest, StartsAreComparedUnsigned) {
    LogTrack& late = Make("late", 0x80000000u, kForever);
    root.AddChild(&late);
    late.localTime = 777;
    Frame(5);
    EXPECT_EQ(log, (Log{"root.Update@5", "root.Post"}));
    EXPECT_TRUE(late.active);
    EXPECT_EQ(late.localTime, 777u);
}

TEST_F(DemoTrackTest, RootOfMaximumLengthKeepsRunning) {
    Frame(0x90000000u);
    Frame(kForever - 1);
    EXPECT_TRUE(root.active);
    EXPECT_EQ(log, (Log{"root.Update@2415919104", "root.Post", "root.Update@4294967294", "root.Post"}));
}

TEST_F(DemoTrackTest, ZeroLengthTrackNeverRuns) {
    LogTrack& empty = Make("empty", 20, 20);
    root.AddChild(&empty);
    Frame(20);
    EXPECT_FALSE(empty.active);
    EXPECT_EQ(log, (Log{"root.Update@20", "root.Post"}));
}

TEST_F(DemoTrackTest, FinishingIsFinalForTheTrackAndItsSubtree) {
    LogTrack& t = Make("T", 0, 100);
    LogTrack& inner = Make("inner", 0, 1000);
    root.AddChild(&t);
    t.AddChild(&inner);

    Frame(50);
    log.clear();
    Frame(150);  // the frame jumps over T's end
    EXPECT_FALSE(t.active);
    EXPECT_TRUE(inner.active) << "never reached this frame";
    Frame(10);   // time going back does not revive it
    Frame(60);
    EXPECT_EQ(log, (Log{"root.Update@150", "root.Post", "root.Update@10", "root.Post", "root.Update@60",
                        "root.Post"}));
}

TEST_F(DemoTrackTest, FinishedChildUnderFinishedParent) {
    LogTrack& parent = Make("P", 0, 100);
    LogTrack& child = Make("C", 0, 50);
    root.AddChild(&parent);
    parent.AddChild(&child);

    Frame(60);
    EXPECT_FALSE(child.active);
    EXPECT_TRUE(parent.active);
    Frame(120);
    Frame(30);
    EXPECT_FALSE(parent.active);
    EXPECT_FALSE(child.active);
    EXPECT_EQ(log, (Log{"root.Update@60", "P.Update@60", "P.Post", "root.Post", "root.Update@120", "root.Post",
                        "root.Update@30", "root.Post"}));
}

TEST_F(DemoTrackTest, ChildStartingAfterItsParentEndsNeverRuns) {
    LogTrack& parent = Make("P", 0, 100);
    LogTrack& child = Make("C", 200, 300);
    root.AddChild(&parent);
    parent.AddChild(&child);
    for (uint32_t t = 0; t <= 400; t += 25) Frame(t);
    for (const std::string& entry : log) EXPECT_EQ(entry.rfind("C.", 0), std::string::npos) << entry;
}

TEST_F(DemoTrackTest, ChildAttachedDuringTheFrameRunsInThatFrame) {
    LogTrack& a = Make("A", 0, 100);
    LogTrack& b = Make("B", 5, 100);
    LogTrack& own = Make("own", 0, 100);
    root.AddChild(&a);
    a.onUpdate = [&] {
        root.AddChild(&b);  // a later sibling of the track being updated
        a.AddChild(&own);   // a child of the track being updated
        a.onUpdate = nullptr;
    };
    Frame(7);
    EXPECT_EQ(log, (Log{"root.Update@7", "A.Update@7", "own.Update@7", "own.Post", "A.Post", "B.Update@2",
                        "B.Post", "root.Post"}));
}

// Logs "name.gone" when destroyed.
class GoneTrack final : public DemoTrack {
public:
    GoneTrack(std::string name, Log& log) : DemoTrack(0, kForever), name_(std::move(name)), log_(log) {}
    ~GoneTrack() override { log_.push_back(name_ + ".gone"); }
    void Update(DemoProgram&) override { log_.push_back(name_ + ".Update"); }

private:
    std::string name_;
    Log& log_;
};

TEST_F(DemoTrackTest, AChildHandedOverIsKeptAndRunsLikeOneAttachedByPointer) {
    Log gone;
    {
        LogTrack parent("P", log, 0, kForever);
        GoneTrack* kept = parent.AddChild(std::make_unique<GoneTrack>("kept", gone));
        GoneTrack* inner = kept->AddChild(std::make_unique<GoneTrack>("inner", gone));
        LogTrack& plain = Make("plain", 0, kForever);
        parent.AddChild(&plain);
        EXPECT_EQ(kept->parent, &parent);
        EXPECT_EQ(inner->parent, kept);
        parent.expectedProgram = &program;
        parent.Process(program);
        EXPECT_EQ(log, (Log{"P.Update@0", "plain.Update@0", "plain.Post", "P.Post"}));
        EXPECT_EQ(gone, (Log{"kept.Update", "inner.Update"}));
    }
    // Destroyed with the parent, each kept child with its own after it.
    EXPECT_EQ(gone, (Log{"kept.Update", "inner.Update", "kept.gone", "inner.gone"}));
}

}  // namespace
}  // namespace jolp
