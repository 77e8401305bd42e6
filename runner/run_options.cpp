#include "runner/run_options.h"

#include "runner/video_encoder.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace jolp {
namespace {

constexpr uint32_t kMaxFps = 1000;

bool ParseUnsigned(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseFps(std::string_view text, uint32_t& num, uint32_t& den) {
    const size_t slash = text.find('/');
    den = 1;
    if (slash == std::string_view::npos) {
        if (!ParseUnsigned(text, num)) return false;
    } else if (!ParseUnsigned(text.substr(0, slash), num) || !ParseUnsigned(text.substr(slash + 1), den)) {
        return false;
    }
    return num > 0 && den > 0 && static_cast<uint64_t>(num) <= static_cast<uint64_t>(kMaxFps) * den;
}

// Seconds as whole milliseconds, the timeline's unit, in 32 bits: at most
// 4294967294 ms. False with the reason, for "bad value 'V' for OPTION: ...".
// roundedToZero: a time above 0 that is under half a millisecond.
bool ParseSeconds(std::string_view text, uint32_t& ms, bool& roundedToZero, std::string& problem) {
    // Wider than double, so that "1e400" is a number too large rather than
    // out of range.
    long double seconds = 0.0L;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    const bool outOfRange = ec == std::errc::result_out_of_range;
    if (text.empty() || (ec != std::errc() && !outOfRange) || end != text.data() + text.size() || std::isnan(seconds) ||
        seconds < 0.0L || text.front() == '-') {
        problem = "expected seconds, 0 or more";
        return false;
    }
    // Out of even that range: too small to tell from 0 when its exponent
    // is negative, else too large.
    const bool tiny = outOfRange && (text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos);
    if (tiny) seconds = 0.0L;
    if ((outOfRange && !tiny) || seconds * 1000.0L >= 4294967294.5L) {
        problem = "at most 4294967.294 seconds (times are counted in milliseconds, in 32 bits)";
        return false;
    }
    ms = static_cast<uint32_t>(std::llround(seconds * 1000.0L));
    roundedToZero = ms == 0 && (tiny || seconds > 0.0L);
    return true;
}

ParseResult Fail(std::string message) {
    ParseResult result;
    result.status = ParseStatus::Error;
    result.message = std::move(message) + " (see --help)";
    return result;
}

}  // namespace

std::string UsageText(const std::string& program, const uint32_t aspect[2]) {
    const std::string picture = std::to_string(aspect[0]) + ":" + std::to_string(aspect[1]);
    return "Usage: " + program +
           " [options]\n"
           "Plays the demo full screen with its music; Escape or closing the window ends it.\n"
           "\n"
           "Options:\n"
           "  --windowed        play in a window of the back buffer's size\n"
           "  --size WxH        back-buffer size in pixels (default 640x480); the picture\n"
           "                    is letterboxed to " + picture + " inside it\n"
           "  --data DIR        read media/, shaders/ and textures from DIR (default: the\n"
           "                    folder holding the executable)\n"
           "  --capture DIR     render headlessly (no window, no sound) and write every\n"
           "                    frame as DIR/frame_NNNNNN.png\n"
           "  --video FILE      render headlessly and encode FILE with the music through\n"
           "                    ffmpeg: .mp4 (H.264 + AAC), .webm (VP9 + Opus) or .mkv\n"
           "                    (H.264 + the Vorbis music as it is); with or without\n"
           "                    --capture\n"
           "  --crf N           --video quality, lower is better: 0 to 51 for H.264\n"
           "                    (default 18), 0 to 63 for VP9 (default 31)\n"
           "  --preset NAME     --video speed against size: ultrafast, superfast,\n"
           "                    veryfast, faster, fast, medium (default), slow, slower,\n"
           "                    veryslow\n"
           "  --fps N[/D]       frame rate of --capture and --video, e.g. 30 or\n"
           "                    60000/1001 (default 30)\n"
           "  --from S          with --capture or --video: first second to write (earlier\n"
           "                    frames still run, so the pictures are the same as a full\n"
           "                    capture)\n"
           "  --to S            with --capture or --video: stop at this second (default:\n"
           "                    the music's length)\n"
           "  --dev             authoring mode, for people writing demos: Space pauses,\n"
           "                    Left/Right seek 5 s (Shift: 1 s; Ctrl: one frame while\n"
           "                    paused), L loops the current shot, Home goes back to 0,\n"
           "                    O hides the overlay, F12 writes the picture shown as\n"
           "                    " + program + "_shot_MS.png; effect files under shaders/ are\n"
           "                    reloaded when they change\n"
           "  --start S         with --dev: play from second S, with the picture a viewer\n"
           "                    sees there\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 when the demo ran to its end or was quit, 1 when it could not\n"
           "start, 2 for a bad command line.\n";
}

std::string VersionText(const std::string& program, const std::string& version) { return program + " " + version; }

ParseResult ParseRunOptions(int argc, const char* const* argv, const uint32_t aspect[2]) {
    ParseResult result;
    RunOptions& options = result.options;
    RunConfig& config = options.config;
    bool capture = false;
    bool fpsGiven = false;
    bool fromGiven = false;
    bool startGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool hasInlineValue = false;
        if (arg.starts_with("--")) {
            const size_t eq = arg.find('=');
            if (eq != std::string_view::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto needValue = [&](std::string_view& out) -> bool {
            if (hasInlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto noValue = [&]() { return !hasInlineValue; };
        std::string_view v;
        bool roundedToZero = false;
        std::string problem;
        if (arg == "--help" || arg == "-h") {
            if (!noValue()) return Fail("option " + std::string(arg) + " takes no value");
            result.status = ParseStatus::Help;
            return result;
        } else if (arg == "--version") {
            if (!noValue()) return Fail("option --version takes no value");
            result.status = ParseStatus::Version;
            return result;
        } else if (arg == "--windowed") {
            if (!noValue()) return Fail("option --windowed takes no value");
            config.fullscreen = false;
        } else if (arg == "--size") {
            if (!needValue(v)) return Fail("option --size needs a value WxH");
            if (!ParseBackBufferSize(v, aspect, config.width, config.height, problem))
                return Fail("bad value '" + std::string(v) + "' for --size: " + problem);
        } else if (arg == "--data") {
            if (!needValue(v) || v.empty()) return Fail("option --data needs a folder");
            options.dataDir = std::string(v);
        } else if (arg == "--capture") {
            if (!needValue(v) || v.empty()) return Fail("option --capture needs a folder");
            options.captureDir = std::string(v);
            capture = true;
        } else if (arg == "--dev") {
            if (!noValue()) return Fail("option --dev takes no value");
            options.dev = true;
        } else if (arg == "--start") {
            if (!needValue(v)) return Fail("option --start needs a value in seconds");
            if (!ParseSeconds(v, options.startMs, roundedToZero, problem))
                return Fail("bad value '" + std::string(v) + "' for --start: " + problem);
            startGiven = true;
        } else if (arg == "--video") {
            if (!needValue(v) || v.empty()) return Fail("option --video needs a file name");
            options.videoPath = std::string(v);
            capture = true;
        } else if (arg == "--crf") {
            uint32_t crf = 0;
            if (!needValue(v)) return Fail("option --crf needs a value");
            if (!ParseUnsigned(v, crf) || crf > 63)
                return Fail("bad value '" + std::string(v) + "' for --crf: expected 0 to 63");
            options.videoCrf = static_cast<int32_t>(crf);
        } else if (arg == "--preset") {
            if (!needValue(v)) return Fail("option --preset needs a name");
            if (!IsVideoPreset(std::string(v)))
                return Fail("unknown --preset '" + std::string(v) +
                            "': expected ultrafast, superfast, veryfast, faster, fast, medium, slow, slower or "
                            "veryslow");
            options.videoPreset = std::string(v);
        } else if (arg == "--fps") {
            if (!needValue(v)) return Fail("option --fps needs a value");
            if (!ParseFps(v, config.fpsNum, config.fpsDen))
                return Fail("bad value '" + std::string(v) + "' for --fps: expected N or N/D frames a second, above 0 and at most 1000");
            fpsGiven = true;
        } else if (arg == "--from") {
            if (!needValue(v)) return Fail("option --from needs a value in seconds");
            if (!ParseSeconds(v, config.fromMs, roundedToZero, problem))
                return Fail("bad value '" + std::string(v) + "' for --from: " + problem);
            fromGiven = true;
        } else if (arg == "--to") {
            if (!needValue(v)) return Fail("option --to needs a value in seconds");
            if (!ParseSeconds(v, config.toMs, roundedToZero, problem))
                return Fail("bad value '" + std::string(v) + "' for --to: " + problem);
            if (roundedToZero)
                return Fail("bad value '" + std::string(v) + "' for --to: under a millisecond, it rounds to 0 ms "
                            "(times are whole milliseconds)");
            config.hasTo = true;
        } else {
            return Fail("unknown option '" + std::string(argv[i]) + "'");
        }
    }
    if (std::string problem; !options.videoPath.empty() && !CheckVideoPath(options.videoPath, problem)) {
        return Fail("--video " + problem);
    }
    if (startGiven && !options.dev) return Fail("option --start needs --dev");
    if (options.dev && capture) {
        return Fail(std::string("option --dev plays in a window; it does not go with ") +
                    (options.videoPath.empty() ? "--capture" : "--video"));
    }
    if (!capture && (fpsGiven || fromGiven || config.hasTo)) {
        return Fail(std::string("option ") + (fpsGiven ? "--fps" : fromGiven ? "--from" : "--to") +
                    " needs --capture or --video");
    }
    if (options.videoPath.empty() && (options.videoCrf >= 0 || !options.videoPreset.empty())) {
        return Fail(std::string("option ") + (options.videoCrf >= 0 ? "--crf" : "--preset") + " needs --video");
    }
    VideoContainer container;
    if (options.videoCrf > 51 && VideoContainerFor(options.videoPath, container) && container != VideoContainer::WebM) {
        return Fail("bad value '" + std::to_string(options.videoCrf) + "' for --crf: H.264 takes 0 to 51");
    }
    if (config.hasTo && config.toMs <= config.fromMs) {
        // Equal only once rounded: say so, or the two look apart.
        return Fail(config.toMs == config.fromMs ? "--to must be after --from (both are " + std::to_string(config.toMs) +
                                                       " ms: times are whole milliseconds)"
                                                 : std::string("--to must be after --from"));
    }
    config.headless = capture;
    return result;
}

}  // namespace jolp
