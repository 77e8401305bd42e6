// The entry point: parse the command line, move to the data folder, then
// drive one MyDemo through Init and Run.
#include "demo/my_demo.h"
#include "framework/run_options.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

std::string ExecutableFolder(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return self.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    jolp::ParseResult parsed = jolp::ParseRunOptions(argc, argv);
    switch (parsed.status) {
    case jolp::ParseStatus::Help:
        std::fputs(jolp::UsageText(argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "tarvel").c_str(),
                   stdout);
        return 0;
    case jolp::ParseStatus::Version:
        std::printf("%s\n", jolp::VersionText().c_str());
        return 0;
    case jolp::ParseStatus::Error:
        std::fprintf(stderr, "tarvel: %s\n", parsed.message.c_str());
        return 2;
    case jolp::ParseStatus::Run:
        break;
    }

    jolp::RunOptions& options = parsed.options;
    std::error_code ec;
    // Paths given on the command line are relative to where we were started,
    // everything else to the data folder.
    if (!options.config.captureDir.empty()) {
        options.config.captureDir = std::filesystem::absolute(options.config.captureDir, ec).string();
    }
    if (!options.config.videoPath.empty()) {
        options.config.videoPath = std::filesystem::absolute(options.config.videoPath, ec).string();
    }
    // The authoring mode's pictures go where we were started.
    options.config.shotDir = std::filesystem::current_path(ec).string();
    const std::string dataDir = options.dataDir.empty() ? ExecutableFolder(argv[0]) : options.dataDir;
    if (!std::filesystem::is_directory(dataDir, ec)) {
        std::fprintf(stderr, "tarvel: --data %s: no such folder\n", dataDir.c_str());
        return 2;
    }
    std::filesystem::current_path(dataDir, ec);
    if (ec) {
        std::fprintf(stderr, "tarvel: %s: cannot enter the data folder (%s)\n", dataDir.c_str(), ec.message().c_str());
        return 1;
    }

    int exitCode = 1;
    {
        tarvel::MyDemo demo(options.config);
        if (demo.Init(tarvel::kTitle)) exitCode = demo.Run(tarvel::kMusicPath) ? 0 : 1;
    }
    SDL_Quit();
    return exitCode;
}
