#include "demo/my_demo.h"

namespace tarvel {

MyDemo::MyDemo(const jolp::RunConfig& config) : jolp::DemoProgram(&RenderSystem::Create, config) {}

void MyDemo::QueueWorkers(jolp::WorkerQueue&) {}

bool MyDemo::BuildTimeline() { return true; }

}  // namespace tarvel
