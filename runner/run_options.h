// run_options.h - the command line of a demo program:
//
//   (none)            the demo, full screen, as shipped
//   --windowed        a window of the back buffer's size instead
//   --size WxH        another back-buffer size (default 640x480)
//   --data DIR        where media/, shaders/ and the named textures are read
//   --capture DIR     headless: every frame to DIR/frame_NNNNNN.png
//   --video FILE      headless: encode FILE (.mp4, .webm, .mkv) with the music
//   --crf N, --preset NAME   quality and speed of --video
//   --fps N[/D]       frame rate of --capture and --video (default 30)
//   --from S, --to S  seconds: capture only frames in [S, T)
//   --dev             the authoring mode: keys, hot reload, overlay
//   --start S         with --dev: play from second S
//   --help, --version
//
// Parsing opens nothing; it looks on disk only to refuse a --video path
// that names a folder. --size follows back_buffer_size.h, at the aspect of
// the demo's picture; a size it refuses is a bad command line (exit 2).
#pragma once

#include "framework/run_config.h"
#include "runner/back_buffer_size.h"

#include <cstdint>
#include <string>

namespace jolp {

struct RunOptions {
    // Size, window, the headless frame grid and span.
    RunConfig config;
    // Empty: the folder holding the executable.
    std::string dataDir;
    // Where headless frames are written as frame_NNNNNN.png; empty writes
    // nothing.
    std::string captureDir;
    // Where headless frames are encoded as a video with the music (the
    // extension picks the container); empty encodes nothing.
    std::string videoPath;
    // Video quality (-1: the codec's default) and x264 preset name (empty:
    // "medium").
    int32_t videoCrf = -1;
    std::string videoPreset;
    // The authoring mode, played from root time startMs.
    bool dev = false;
    uint32_t startMs = 0;
};

enum class ParseStatus {
    Run,
    Help,
    Version,
    Error,  // message holds one line naming the option; exit code 2
};

struct ParseResult {
    ParseStatus status = ParseStatus::Run;
    RunOptions options;
    std::string message;
};

// The command line of a demo whose picture is aspect[0]:aspect[1].
ParseResult ParseRunOptions(int argc, const char* const* argv, const uint32_t aspect[2] = kPictureAspect);
// The --help text of the program called program (its pictures are named
// after it), and the --version line.
std::string UsageText(const std::string& program, const uint32_t aspect[2] = kPictureAspect);
std::string VersionText(const std::string& program, const std::string& version);

}  // namespace jolp
