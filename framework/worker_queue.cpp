#include "framework/worker_queue.h"

namespace jolp {

void WorkerQueue::Step() {
    lastPercent_ = workers_[cursor_]->Step(registry_, *this);
    if (lastPercent_ == 100) ++cursor_;
}

void WorkerQueue::RunAll() {
    while (cursor_ != Count()) Step();
    workers_.clear();
    cursor_ = 0;
}

}  // namespace jolp
