// worker_queue.h - WorkerQueue, the ordered list of start-up workers.
//
// RunAll steps the worker at the cursor until it reports 100, then the
// next, including workers appended while it runs; then it empties the list.
// The queue refers to its workers and its registry and owns neither.
#pragma once

#include "framework/worker.h"

#include <cstdint>
#include <vector>

namespace jolp {

class WorkerQueue {
public:
    explicit WorkerQueue(ResourceRegistry& registry) : registry_(registry) {}

    void Append(Worker* worker) { workers_.push_back(worker); }
    // Steps the current worker once; advances past it when it returns 100.
    // Requires Cursor() < Count().
    void Step();
    // Steps until every queued worker is done, then clears the list and
    // the cursor.
    void RunAll();

    uint32_t Cursor() const { return cursor_; }
    uint32_t Count() const { return static_cast<uint32_t>(workers_.size()); }
    // The last percentage a worker returned (for progress display).
    int32_t LastPercent() const { return lastPercent_; }

private:
    ResourceRegistry& registry_;
    std::vector<Worker*> workers_;
    uint32_t cursor_ = 0;
    int32_t lastPercent_ = 0;
};

}  // namespace jolp
