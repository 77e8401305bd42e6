#include "runner/runner.h"

#include "platform/file_write.h"
#include "platform/log.h"
#include "platform/standard_output.h"
#include "runner/capture_driver.h"
#include "runner/dev_mode.h"
#include "runner/interrupt.h"
#include "runner/run_options.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

namespace jolp {
namespace {

std::string ExecutableFolder(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return self.parent_path().string();
}

// Plays in real time, in a window or full screen.
class WindowDriver final : public PlayDriver {
public:
    bool Play(DemoProgram& program) override { return program.PlayFrames(); }
    bool Finish(DemoProgram& program, bool ok) override {
        if (program.Interrupted()) Log(LogLevel::Error, "interrupted");
        return ok;
    }
};

// Another driver, with interrupts taken between frames from its Start on
// (interrupt.h): loading is interrupted at once, playing between frames.
class InterruptsBetweenFrames final : public PlayDriver {
public:
    explicit InterruptsBetweenFrames(PlayDriver& inner) : inner_(inner) {}
    bool OwnsMusic() const override { return inner_.OwnsMusic(); }
    bool Start(DemoProgram& program) override {
        SetInterruptsDeferred(true);
        return inner_.Start(program);
    }
    bool Play(DemoProgram& program) override { return inner_.Play(program); }
    bool Finish(DemoProgram& program, bool ok) override { return inner_.Finish(program, ok); }

private:
    PlayDriver& inner_;
};

bool StopRequested() { return InterruptRequested(); }

int Run(int argc, char** argv, const DemoInfo& demo) {
    ParseResult parsed = ParseRunOptions(argc, argv, demo.aspect);
    switch (parsed.status) {
    case ParseStatus::Help:
        std::fputs(UsageText(demo.name, demo.aspect).c_str(), stdout);
        return 0;
    case ParseStatus::Version:
        std::printf("%s\n", VersionText(demo.name, demo.version).c_str());
        return 0;
    case ParseStatus::Error:
        Log(LogLevel::Error, "%s", parsed.message.c_str());
        return 2;
    case ParseStatus::Run:
        break;
    }

    // Ctrl+C and SIGTERM end the program at once while it loads or shows a
    // message box, and between frames once it plays (interrupt.h).
    InstallInterruptHandler();
    IgnoreFileSizeSignal();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    RunOptions& options = parsed.options;
    // The data folder as the user named it, or the executable's own; files
    // are read from inside it and named so in messages (data_path.h). Paths
    // the user gives stay relative to where the program was started.
    const std::string dataDir = options.dataDir.empty() ? ExecutableFolder(argv[0]) : options.dataDir;
    std::error_code ec;
    if (!std::filesystem::is_directory(dataDir, ec)) {
        Log(LogLevel::Error, "--data %s: no such folder", dataDir.c_str());
        return 2;
    }
    RunConfig& config = options.config;
    config.name = demo.name;
    config.aspect[0] = demo.aspect[0];
    config.aspect[1] = demo.aspect[1];
    config.dataFolder = dataDir;
    config.beatsPerMinute = demo.beatsPerMinute;
    config.rowsPerBeat = demo.rowsPerBeat;
    config.stopRequested = &StopRequested;

    CaptureSettings capture;
    capture.captureDir = options.captureDir;
    capture.videoPath = options.videoPath;
    capture.videoCrf = options.videoCrf;
    capture.videoPreset = options.videoPreset;
    CaptureDriver captureDriver(capture);
    DevSettings dev;
    dev.startMs = options.startMs;
    dev.shotDir = std::filesystem::current_path(ec).string();  // F12 writes where we were started
    dev.watchFolder = demo.watchFolder;
    DevMode devMode(dev);
    WindowDriver windowDriver;
    PlayDriver* driver = &windowDriver;
    if (config.headless) {
        driver = &captureDriver;
    } else if (options.dev) {
        driver = &devMode;
        config.steppedClock = true;
    }
    InterruptsBetweenFrames deferring(*driver);
    config.driver = &deferring;

    int exitCode = 1;
    try {
        std::unique_ptr<DemoProgram> program = demo.create(config);
        if (program->Init(demo.title)) {
            exitCode = program->Run(program->DataFile(demo.musicPath)) ? 0 : 1;
        } else if (program->display.sizeRefused) {
            exitCode = 2;
        }
    } catch (const std::bad_alloc&) {
        // The loaders say what they could not load; this is the last net.
        Log(LogLevel::Error, "out of memory (see the README's troubleshooting for the memory a run needs)");
        exitCode = 1;
    }
    SetInterruptsDeferred(false);
    SDL_Quit();
    return exitCode;
}

}  // namespace

int RunDemo(int argc, char** argv, const DemoInfo& demo) {
    SetLogName(demo.name);
    // --help and --version print to stdout, and so may the demo.
    return FinishStandardOutput(demo.name, Run(argc, argv, demo));
}

}  // namespace jolp
