#include "framework/resource_registry.h"
#include "framework/worker.h"
#include "framework/worker_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jolp {
namespace {

using Log = std::vector<std::string>;

// Returns the scripted percentages in turn (100 once they run out) and logs
// "name:percent" for every step.
class ScriptedWorker final : public Worker {
public:
    ScriptedWorker(std::string name, Log& log, std::vector<int32_t> script = {})
        : name_(std::move(name)), log_(log), script_(std::move(script)) {}
    ~ScriptedWorker() override {
        if (destroyed) *destroyed = true;
    }

    bool IsReady() const override { return steps_ >= script_.size(); }
    int32_t Step(ResourceRegistry& registry, WorkerQueue& queue) override {
        seenRegistry = &registry;
        seenQueue = &queue;
        const int32_t percent = steps_ < script_.size() ? script_[steps_] : 100;
        ++steps_;
        log_.push_back(name_ + ":" + std::to_string(percent));
        if (onStep) onStep(queue);
        return percent;
    }

    std::function<void(WorkerQueue&)> onStep;
    ResourceRegistry* seenRegistry = nullptr;
    WorkerQueue* seenQueue = nullptr;
    bool* destroyed = nullptr;

private:
    std::string name_;
    Log& log_;
    std::vector<int32_t> script_;
    size_t steps_ = 0;
};

class WorkerQueueOrder : public ::testing::Test {
protected:
    ResourceRegistry registry;
    WorkerQueue queue{registry};
    Log log;
};

TEST_F(WorkerQueueOrder, EmptyQueueRunsNothing) {
    queue.RunAll();
    EXPECT_EQ(queue.Cursor(), 0u);
    EXPECT_EQ(queue.Count(), 0u);
}

TEST_F(WorkerQueueOrder, StepAdvancesOnlyOnExactlyHundred) {
    ScriptedWorker a("a", log, {40, 150, 100});
    ScriptedWorker b("b", log);
    queue.Append(&a);
    queue.Append(&b);
    EXPECT_EQ(queue.Count(), 2u);

    queue.Step();
    EXPECT_EQ(queue.Cursor(), 0u);
    EXPECT_EQ(queue.LastPercent(), 40);
    queue.Step();
    EXPECT_EQ(queue.Cursor(), 0u);
    queue.Step();
    EXPECT_EQ(queue.Cursor(), 1u);
    EXPECT_EQ(queue.LastPercent(), 100);
    EXPECT_EQ(log, (Log{"a:40", "a:150", "a:100"}));
}

TEST_F(WorkerQueueOrder, RunAllFinishesEachWorkerBeforeTheNext) {
    ScriptedWorker a("a", log, {40, 70, 100});
    ScriptedWorker b("b", log, {0, 100});
    queue.Append(&a);
    queue.Append(&b);
    queue.RunAll();
    EXPECT_EQ(log, (Log{"a:40", "a:70", "a:100", "b:0", "b:100"}));
    EXPECT_EQ(queue.Cursor(), 0u);
    EXPECT_EQ(queue.Count(), 0u);
}

TEST_F(WorkerQueueOrder, WorkersAppendedWhileRunningRunAfterTheOthers) {
    ScriptedWorker a("a", log, {50, 100});
    ScriptedWorker b("b", log);
    ScriptedWorker late("late", log);
    a.onStep = [&](WorkerQueue& q) {
        if (q.Count() == 2) q.Append(&late);
    };
    queue.Append(&a);
    queue.Append(&b);
    queue.RunAll();
    EXPECT_EQ(log, (Log{"a:50", "a:100", "b:100", "late:100"}));
    EXPECT_EQ(queue.Count(), 0u);
}

TEST_F(WorkerQueueOrder, SecondRunAllRunsOnlyNewWorkers) {
    ScriptedWorker a("a", log);
    ScriptedWorker b("b", log);
    queue.Append(&a);
    queue.RunAll();
    queue.Append(&b);
    EXPECT_EQ(queue.Count(), 1u);
    queue.RunAll();
    EXPECT_EQ(log, (Log{"a:100", "b:100"}));
}

TEST_F(WorkerQueueOrder, StepsGetTheBoundRegistryAndTheQueueItself) {
    ScriptedWorker a("a", log);
    queue.Append(&a);
    queue.RunAll();
    EXPECT_EQ(a.seenRegistry, &registry);
    EXPECT_EQ(a.seenQueue, &queue);
}

TEST_F(WorkerQueueOrder, RunAllNeverDeletesWorkers) {
    bool destroyed = false;
    auto* worker = new ScriptedWorker("heap", log);
    worker->destroyed = &destroyed;
    queue.Append(worker);
    queue.RunAll();
    EXPECT_FALSE(destroyed);
    delete worker;
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace jolp
