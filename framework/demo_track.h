// demo_track.h - jolp::DemoTrack, one span of the demo's timeline.
//
// A track starts at `start` on its parent's clock and runs for `length`
// milliseconds; while it runs, Process gives it Update before its children
// and PostUpdate after them. All times are unsigned 32-bit milliseconds,
// compared unsigned. The root of the tree is the program (DemoProgram).
//
// Ownership: a track refers to its parent and children. A child attached
// by pointer is its maker's to keep alive; one handed over as a unique_ptr
// is kept by the track it was attached to and lives as long as it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace jolp {

class DemoProgram;

class DemoTrack {
public:
    // A track from start to end (ms on the parent's clock); length is
    // end - start, unsigned.
    DemoTrack(uint32_t startMs, uint32_t endMs);
    virtual ~DemoTrack() = default;

    DemoTrack(const DemoTrack&) = delete;
    DemoTrack& operator=(const DemoTrack&) = delete;

    // Per-frame work before the children; only called while the track runs.
    virtual void Update(DemoProgram& program) = 0;
    // Per-frame work after the children, in the same frames as Update.
    virtual void PostUpdate() {}

    // Puts the track and its subtree back as they were before the first
    // frame, so that the timeline can be played again from 0 (a seek in the
    // authoring mode). The base makes the track active again; a track with
    // state of its own overrides it and calls the base.
    virtual void Rewind();

    // Sets child's parent to this track and appends it; no checks for
    // duplicates or cycles.
    void AddChild(DemoTrack* child);
    // The same, keeping the child: it is destroyed with this track (or by
    // ReleaseKeptChildren). The track it gives back stays valid as long.
    template <class T>
    T* AddChild(std::unique_ptr<T> child) {
        T* track = child.get();
        AddChild(static_cast<DemoTrack*>(track));
        kept_.push_back(std::move(child));
        return track;
    }

    // One frame of this track and its subtree:
    //  1. localTime = parent.localTime - start (tracks with a parent);
    //  2. localTime >= length: finished for good, nothing is called;
    //  3. Update; 4. each active child whose start <= localTime, in
    //  attachment order, depth first; 5. PostUpdate.
    void Process(DemoProgram& program);

    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t end = 0;
    uint32_t localTime = 0;
    bool active = true;
    DemoTrack* parent = nullptr;
    std::vector<DemoTrack*> children;

protected:
    // Detaches every child and destroys those this track keeps, children
    // before their parents: for an owner whose tracks must go before what
    // they refer to.
    void ReleaseKeptChildren();

private:
    std::vector<std::unique_ptr<DemoTrack>> kept_;
};

}  // namespace jolp
