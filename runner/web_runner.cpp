// RunDemo in a browser (runner.h), built for the web instead of runner.cpp.
//
// The page (web_page.html) hands its address's settings over as arguments:
//
//   index.html                  the demo: it loads, says "Click or press a
//                               key to start", and plays with its music
//                               from the first click or key on
//   index.html?frame=S          draws the one frame at root time
//                               floor(S x 1000) ms as --capture --fps 30
//                               --from S does (the timeline replayed on the
//                               30 fps grid without drawing, no music),
//                               keeps its pixels for a test (jolpFrame) and
//                               sets the title to "ready"
//   &size=WxH                   the back buffer's size, as --size takes
//                               it (back_buffer_size.h; default: the
//                               page's, at the demo's aspect, at most
//                               1920 x 1080, or 640 x 360 where WebGL
//                               runs in software)
//
// A setting the page cannot use (a frame past the demo's end, a size out of
// range) is refused with its reason in the page and the console; a start
// or a play that fails says in the page what the log's first error was.
//
// RunDemo prepares the program and returns; the page's animation frames
// play it. The data set is in the page's file system at /data.
#include "runner/runner.h"

#include "framework/demo_program.h"
#include "platform/counter.h"
#include "platform/log.h"
#include "platform/web_canvas.h"
#include "runner/back_buffer_size.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace jolp {
namespace {

constexpr const char* kDataFolder = "/data";

// The log's first error (ConsoleSink keeps it): the page says it rather
// than pointing at the console.
std::string g_firstError;

// Milliseconds as seconds: "201.233".
std::string Seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", static_cast<unsigned>(ms / 1000), static_cast<unsigned>(ms % 1000));
    return text;
}

// What could not be done, and why, as the log's first error says.
std::string Because(const std::string& what) {
    return g_firstError.empty() ? what + "." : what + ":\n" + g_firstError;
}

struct PageOptions {
    bool frame = false;
    std::string frameText;  // as the address has it, for messages
    uint32_t frameMs = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// False, with the message logged and in error, for settings that make no
// sense.
bool ReadPageOptions(int argc, char** argv, const uint32_t aspect[2], PageOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (name == "--frame" && value) {
            char* end = nullptr;
            const double seconds = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(seconds >= 0.0) || seconds > 4.0e6) {
                error = std::string("bad value '") + value + "' for frame: seconds from 0 on are wanted";
                Log(LogLevel::Error, "%s", error.c_str());
                return false;
            }
            options.frame = true;
            options.frameText = value;
            options.frameMs = static_cast<uint32_t>(std::floor(seconds * 1000.0));
            ++i;
        } else if (name == "--size" && value) {
            std::string problem;
            if (!ParseBackBufferSize(value, aspect, options.width, options.height, problem)) {
                error = std::string("bad value '") + value + "' for size: " + problem;
                Log(LogLevel::Error, "%s", error.c_str());
                return false;
            }
            ++i;
        } else {
            Log(LogLevel::Warning, "'%s' is not a setting of this page; it is ignored", name.c_str());
        }
    }
    return true;
}

EM_JS(int, jolp_page_width, (), {
    var ratio = window.devicePixelRatio || 1;
    return Math.round(Math.min(window.innerWidth * ratio, 1920));
});

EM_JS(int, jolp_page_height, (), {
    var ratio = window.devicePixelRatio || 1;
    return Math.round(Math.min(window.innerHeight * ratio, 1080));
});

// Whether the browser draws WebGL in software (no GPU, or one it refuses).
EM_JS(int, jolp_page_software_webgl, (), {
    try {
        var gl = document.createElement('canvas').getContext('webgl2');
        if (!gl) return 0;
        var info = gl.getExtension('WEBGL_debug_renderer_info');
        var renderer = String(gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER));
        var lose = gl.getExtension('WEBGL_lose_context');
        if (lose) lose.loseContext();
        return /SwiftShader|llvmpipe|softpipe|Software/i.test(renderer) ? 1 : 0;
    } catch (e) {
        return 0;
    }
});

// The back buffer fills the page at the demo's aspect, at most 1920 x 1080,
// and at most 640 x 360 where WebGL is drawn in software, which manages a
// few frames a second even there.
void PageSize(const uint32_t aspect[2], uint32_t& width, uint32_t& height) {
    const bool software = jolp_page_software_webgl() != 0;
    const double w = std::min(std::max(jolp_page_width(), 160), software ? 640 : 1920);
    const double h = std::min(std::max(jolp_page_height(), 90), software ? 360 : 1080);
    const double scale = std::min(w / aspect[0], h / aspect[1]);
    width = static_cast<uint32_t>(std::floor(scale * aspect[0]));
    height = static_cast<uint32_t>(std::floor(scale * aspect[1]));
}

// Keeps the pixels of the frame drawn, for the page's jolpFrame.
class FrameKeeper final : public FrameSink {
public:
    bool TakeFrame(const FramePicture& frame, std::string&) override {
        picture = frame;
        pixels.assign(frame.rgb, frame.rgb + size_t{frame.width} * frame.height * 3);
        picture.rgb = pixels.data();
        return true;
    }
    FramePicture picture;
    std::vector<uint8_t> pixels;
};

EM_JS(void, jolp_page_keep_frame, (const uint8_t* rgb, int width, int height, int ms), {
    Module['jolpFrame'] = {
        width: width,
        height: height,
        ms: ms,
        rgb: HEAPU8.slice(rgb, rgb + width * height * 3)
    };
});

// While the demo plays the cursor is hidden over the picture, as natively.
EM_JS(void, jolp_page_playing, (int playing), {
    document.body.classList.toggle('playing', playing != 0);
});

enum class Phase { WaitingForGesture, WaitingForMusic, Playing };

struct WebRun {
    DemoInfo demo;
    std::unique_ptr<DemoProgram> program;
    std::string musicPath;
    Phase phase = Phase::WaitingForGesture;
    uint64_t gestureMs = 0;
    uint64_t playStartMs = 0;
    uint64_t playStartFrame = 0;
};

void EndPlay(WebRun& run, bool ok) {
    DemoProgram& program = *run.program;
    const bool quit = program.display.deviceWindow->quitRequested;
    if (run.phase == Phase::Playing) {
        // How the browser kept up, for whoever looks at the console.
        const double seconds = static_cast<double>(MonotonicMs() - run.playStartMs) / 1000.0;
        const uint64_t frames = program.FrameCount() - run.playStartFrame;
        Log(LogLevel::Info, "played %llu frames in %.1f s (%.1f frames/s), up to %.1f s of the demo",
            static_cast<unsigned long long>(frames), seconds, seconds > 0.0 ? static_cast<double>(frames) / seconds : 0.0,
            program.localTime / 1000.0);
    }
    ok = program.FinishPlay(ok);
    jolp_page_playing(0);
    if (!ok) {
        ShowPageError(Because("The demo stopped on an error") + "\nReload the page to try again.");
    } else {
        ShowPageStatus(quit ? "Stopped. Reload the page to watch again." : "The end. Reload the page to watch again.");
        SetPageTitle(std::string(run.demo.title) + " - ended");
    }
    // The program stays: its last picture stays on the canvas.
}

EM_BOOL PlayAnimationFrame(double, void* user) {
    WebRun& run = *static_cast<WebRun*>(user);
    DemoProgram& program = *run.program;
    DeviceWindow& deviceWindow = *program.display.deviceWindow;
    switch (run.phase) {
        case Phase::WaitingForGesture:
            if (TakeCanvasQuit()) {
                EndPlay(run, true);
                return EM_FALSE;
            }
            if (!CanvasGestureSeen()) return EM_TRUE;
            ShowPageStatus("");
            run.gestureMs = MonotonicMs();
            run.phase = Phase::WaitingForMusic;
            [[fallthrough]];
        case Phase::WaitingForMusic:
            // Time 0 is when the music is heard, as natively.
            if (!program.MusicStartSettled(run.gestureMs)) return EM_TRUE;
            program.RestartClock();
            run.phase = Phase::Playing;
            run.playStartMs = MonotonicMs();
            run.playStartFrame = program.FrameCount();
            jolp_page_playing(1);
            [[fallthrough]];
        case Phase::Playing:
            if (!program.active || !PumpMessages(deviceWindow)) {
                EndPlay(run, true);
                return EM_FALSE;
            }
            program.StepFrame(true);
            if (!program.EndFrame(true)) {
                EndPlay(run, false);
                return EM_FALSE;
            }
            return EM_TRUE;
    }
    return EM_FALSE;
}

// ?frame=S: the one frame, drawn before RunDemo returns.
int DrawOneFrame(const DemoInfo& demo, RunConfig config, uint32_t ms, const std::string& text) {
    config.headless = true;
    config.fpsNum = 30;
    config.fpsDen = 1;
    config.fromMs = ms;
    config.hasTo = true;
    const FrameGrid grid = config.Grid();
    config.toMs = grid.TimeOf(grid.FirstFrameAtOrAfter(ms)) + 1;
    std::unique_ptr<DemoProgram> program = demo.create(config);
    FrameKeeper keeper;
    bool ok = program->Init(demo.title);
    if (ok) {
        program->AddFrameSink(&keeper);
        ok = program->Run(program->DataFile(demo.musicPath));
    }
    if (ok && keeper.pixels.empty()) {
        // No frame of the 30 fps grid lies between the moment asked for and
        // the demo's end.
        const uint64_t frames = grid.FirstFrameAtOrAfter(program->length);
        const std::string reason = "bad value '" + text + "' for frame: the demo's last frame is at " +
                                   Seconds(frames > 0 ? grid.TimeOf(frames - 1) : 0) + " s";
        Log(LogLevel::Error, "%s", reason.c_str());
        ShowPageError("The frame could not be drawn:\n" + reason);
        return 1;
    }
    if (!ok) {
        ShowPageError(Because("The frame could not be drawn"));
        return 1;
    }
    jolp_page_keep_frame(keeper.pixels.data(), static_cast<int>(keeper.picture.width),
                         static_cast<int>(keeper.picture.height), static_cast<int>(keeper.picture.ms));
    ShowPageStatus("");
    SetPageTitle("ready");
    return 0;
}

// The log's lines go to the console at their own level, so that an error
// the demo reports is one in the browser's eyes too.
EM_JS(void, jolp_console, (int level, const char* line), {
    var text = UTF8ToString(line);
    if (level == 2) console.error(text);
    else if (level == 1) console.warn(text);
    else console.log(text);
});

void ConsoleSink(LogLevel level, const char* message, void*) {
    char line[4096 + 80];
    if (level == LogLevel::Fatal) {
        std::snprintf(line, sizeof line, "ERROR: %s", message);
    } else {
        std::snprintf(line, sizeof line, "%s: %s%s", LogName(), level == LogLevel::Warning ? "warning: " : "", message);
    }
    const bool error = level == LogLevel::Error || level == LogLevel::Fatal;
    if (error && g_firstError.empty()) g_firstError = message;
    jolp_console(error ? 2 : level == LogLevel::Warning ? 1 : 0, line);
}

}  // namespace

int RunDemo(int argc, char** argv, const DemoInfo& demo) {
    SetLogName(demo.name);
    SetLogSink(&ConsoleSink, nullptr);
    PageOptions page;
    std::string error;
    if (!ReadPageOptions(argc, argv, demo.aspect, page, error)) {
        ShowPageError("The page's address has a bad setting:\n" + error);
        return 2;
    }
    RunConfig config;
    config.name = demo.name;
    config.aspect[0] = demo.aspect[0];
    config.aspect[1] = demo.aspect[1];
    config.dataFolder = kDataFolder;
    config.fullscreen = false;
    if (page.width != 0) {
        config.width = page.width;
        config.height = page.height;
    } else {
        PageSize(demo.aspect, config.width, config.height);
    }
    if (page.frame) return DrawOneFrame(demo, config, page.frameMs, page.frameText);

    auto* run = new WebRun();  // lives as long as the page
    run->demo = demo;
    run->program = demo.create(config);
    DemoProgram& program = *run->program;
    ShowPageStatus("Loading...");
    run->musicPath = program.DataFile(demo.musicPath);
    if (!program.Init(demo.title) || !program.Prepare(run->musicPath) || !program.StartPlay(run->musicPath)) {
        ShowPageError(Because("The demo could not start"));
        return 1;
    }
    ShowPageStatus("Click or press a key to start.\nF or a double click: full screen. Escape: stop.");
    SetPageTitle(demo.title);
    emscripten_request_animation_frame_loop(PlayAnimationFrame, run);
    return 0;
}

}  // namespace jolp
