// The entry point: Tarvel handed to the runner, which reads the command
// line and plays it (runner/runner.h).
#include "demo/my_demo.h"
#include "runner/runner.h"

#include <memory>

namespace {

std::unique_ptr<jolp::DemoProgram> MakeTarvel(const jolp::RunConfig& config) {
    return std::make_unique<tarvel::MyDemo>(config);
}

}  // namespace

int main(int argc, char** argv) {
    jolp::DemoInfo info;
    info.name = "tarvel";
    info.version = TARVEL_VERSION;
    info.title = tarvel::kTitle;
    info.musicPath = tarvel::kMusicPath;
    info.create = &MakeTarvel;
    return jolp::RunDemo(argc, argv, info);
}
