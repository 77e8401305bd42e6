// worker.h - jolp::Worker, one item of start-up work (build the render
// system, load the scene, ...), run to completion by the WorkerQueue before
// the music starts.
#pragma once

#include <cstdint>

namespace jolp {

class ResourceRegistry;
class WorkerQueue;

class Worker {
public:
    virtual ~Worker() = default;
    // Whether the worker's product exists.
    virtual bool IsReady() const = 0;
    // Does (more of) the work and returns the percentage done, 0 to 100;
    // exactly 100 means finished. May register resources and append further
    // workers to queue.
    virtual int32_t Step(ResourceRegistry& registry, WorkerQueue& queue) = 0;
};

}  // namespace jolp
