#include "framework/resource_registry.h"
#include "framework/worker_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace jolp {
namespace {

using ::testing::ElementsAre;

// Returns the given percentages in turn and logs each step.
class ScriptedWorker final : public Worker {
public:
    ScriptedWorker(std::string name, std::vector<int32_t> script, std::vector<std::string>* log)
        : name_(std::move(name)), script_(std::move(script)), log_(log) {}
    bool IsReady() const override { return next_ >= script_.size(); }
    int32_t Step(ResourceRegistry& registry, WorkerQueue& queue) override {
        lastRegistry = &registry;
        lastQueue = &queue;
        const int32_t percent = script_[next_++];
        log_->push_back(name_ + ":" + std::to_string(percent));
        if (onStep) onStep(queue);
        return percent;
    }
    std::function<void(WorkerQueue&)> onStep;
    ResourceRegistry* lastRegistry = nullptr;
    WorkerQueue* lastQueue = nullptr;

private:
    std::string name_;
    std::vector<int32_t> script_;
    size_t next_ = 0;
    std::vector<std::string>* log_;
};

TEST(WorkerQueueTest, AnEmptyQueueReturnsAtOnce) {
    ResourceRegistry registry;
    WorkerQueue queue(registry);
    queue.RunAll();
    EXPECT_EQ(queue.Cursor(), 0u);
    EXPECT_EQ(queue.Count(), 0u);
}

TEST(WorkerQueueTest, AWorkerIsSteppedUntilItSaysExactlyOneHundred) {
    ResourceRegistry registry;
    WorkerQueue queue(registry);
    std::vector<std::string> log;
    // 101 and 99 are not "done": only exactly 100 moves on.
    ScriptedWorker slow("slow", {40, 70, 101, 100}, &log);
    ScriptedWorker next("next", {100}, &log);
    queue.Append(&slow);
    queue.Append(&next);
    queue.Step();
    EXPECT_EQ(queue.Cursor(), 0u);
    queue.RunAll();
    EXPECT_THAT(log, ElementsAre("slow:40", "slow:70", "slow:101", "slow:100", "next:100"));
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_EQ(queue.Cursor(), 0u);
    EXPECT_TRUE(slow.IsReady());
}

TEST(WorkerQueueTest, WorkersGetTheBoundRegistryAndTheQueueItself) {
    ResourceRegistry registry;
    WorkerQueue queue(registry);
    std::vector<std::string> log;
    ScriptedWorker worker("w", {100}, &log);
    queue.Append(&worker);
    queue.RunAll();
    EXPECT_EQ(worker.lastRegistry, &registry);
    EXPECT_EQ(worker.lastQueue, &queue);
}

TEST(WorkerQueueTest, WorkersAppendedWhileRunningRunInTheSamePassAfterTheRest) {
    ResourceRegistry registry;
    WorkerQueue queue(registry);
    std::vector<std::string> log;
    ScriptedWorker first("first", {50, 100}, &log);
    ScriptedWorker second("second", {100}, &log);
    ScriptedWorker spawned("spawned", {100}, &log);
    first.onStep = [&](WorkerQueue& q) {
        if (log.size() == 1) q.Append(&spawned);
    };
    queue.Append(&first);
    queue.Append(&second);
    queue.RunAll();
    EXPECT_THAT(log, ElementsAre("first:50", "first:100", "second:100", "spawned:100"));
}

TEST(WorkerQueueTest, ALaterPassRunsOnlyNewlyAppendedWorkers) {
    ResourceRegistry registry;
    WorkerQueue queue(registry);
    std::vector<std::string> log;
    ScriptedWorker a("a", {100}, &log);
    ScriptedWorker b("b", {100}, &log);
    queue.Append(&a);
    queue.RunAll();
    queue.Append(&b);
    queue.RunAll();
    EXPECT_THAT(log, ElementsAre("a:100", "b:100"));
}

}  // namespace
}  // namespace jolp
