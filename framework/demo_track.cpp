#include "framework/demo_track.h"

namespace jolp {

DemoTrack::DemoTrack(uint32_t startMs, uint32_t endMs) : start(startMs), length(endMs - startMs), end(endMs) {}

void DemoTrack::AddChild(DemoTrack* child) {
    child->parent = this;
    children.push_back(child);
}

void DemoTrack::ReleaseKeptChildren() {
    children.clear();
    // Later ones may be children of earlier ones: the last made goes first.
    while (!kept_.empty()) kept_.pop_back();
}

void DemoTrack::Rewind() {
    active = true;
    localTime = 0;
    for (DemoTrack* child : children) child->Rewind();
}

void DemoTrack::Process(DemoProgram& program) {
    if (parent) localTime = parent->localTime - start;
    if (localTime >= length) {
        active = false;
        return;
    }
    Update(program);
    // Indexing, not iterators: a child's work may attach further tracks, and
    // the end of the list is read again at every step.
    for (std::size_t i = 0; i < children.size(); ++i) {
        DemoTrack* child = children[i];
        if (child->active && child->start <= localTime) child->Process(program);
    }
    PostUpdate();
}

}  // namespace jolp
