// The entry point: parse the command line, find the data folder, then
// drive one MyDemo through Init and Run.
#include "demo/my_demo.h"
#include "framework/run_options.h"
#include "platform/interrupt.h"
#include "platform/log.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <filesystem>
#include <new>
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
    jolp::SetLogName("tarvel");
    jolp::ParseResult parsed = jolp::ParseRunOptions(argc, argv);
    switch (parsed.status) {
    case jolp::ParseStatus::Help:
        std::fputs(jolp::UsageText(argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "tarvel").c_str(),
                   stdout);
        return 0;
    case jolp::ParseStatus::Version:
        std::printf("%s\n", jolp::VersionText("tarvel", TARVEL_VERSION).c_str());
        return 0;
    case jolp::ParseStatus::Error:
        jolp::Log(jolp::LogLevel::Error, "%s", parsed.message.c_str());
        return 2;
    case jolp::ParseStatus::Run:
        break;
    }

    // Ctrl+C and SIGTERM end the program at once while it loads or shows a
    // message box, and between frames once it plays (interrupt.h).
    jolp::InstallInterruptHandler();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    jolp::RunOptions& options = parsed.options;
    // The data folder as the user named it, or the executable's own; files
    // are read from inside it and named so in messages (data_path.h).
    const std::string dataDir = options.dataDir.empty() ? ExecutableFolder(argv[0]) : options.dataDir;
    std::error_code ec;
    if (!std::filesystem::is_directory(dataDir, ec)) {
        jolp::Log(jolp::LogLevel::Error, "--data %s: no such folder", dataDir.c_str());
        return 2;
    }
    options.config.dataFolder = dataDir;
    options.config.name = "tarvel";
    // The authoring mode's pictures go where we were started.
    options.config.shotDir = std::filesystem::current_path(ec).string();

    int exitCode = 1;
    try {
        tarvel::MyDemo demo(options.config);
        if (demo.Init(tarvel::kTitle)) {
            exitCode = demo.Run(demo.DataFile(tarvel::kMusicPath)) ? 0 : 1;
        } else if (demo.display.sizeRefused) {
            exitCode = 2;
        }
    } catch (const std::bad_alloc&) {
        // The loaders say what they could not load; this is the last net.
        jolp::Log(jolp::LogLevel::Error,
                  "out of memory (the demo needs about 200 MB at 640x480; see the README's troubleshooting)");
        exitCode = 1;
    }
    SDL_Quit();
    return exitCode;
}
