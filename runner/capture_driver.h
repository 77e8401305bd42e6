// capture_driver.h - CaptureDriver, how a headless run is played: the
// program's own loop on the frame grid, its drawn frames handed to the
// outputs the command line asked for (a folder of PNG files, a video with
// the music) and counted on a progress line.
//
// Start makes the outputs (the video's sound is the program's music, cut to
// the span); Finish finishes the video and puts it in place, or, when the
// play failed or was interrupted, removes it unfinished.
#pragma once

#include "framework/play_driver.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jolp {

class CaptureProgress;
class FrameCapture;
class VideoEncoder;
class FrameSink;

struct CaptureSettings {
    std::string captureDir;  // empty: no PNG files
    std::string videoPath;   // empty: no video
    int32_t videoCrf = -1;
    std::string videoPreset;
};

class CaptureDriver final : public PlayDriver {
public:
    explicit CaptureDriver(CaptureSettings settings);
    ~CaptureDriver() override;

    bool Start(DemoProgram& program) override;
    bool Play(DemoProgram& program) override;
    bool Finish(DemoProgram& program, bool ok) override;

private:
    CaptureSettings settings_;
    std::unique_ptr<FrameCapture> capture_;
    std::unique_ptr<VideoEncoder> video_;
    std::unique_ptr<CaptureProgress> progress_;
    std::unique_ptr<FrameSink> progressSink_;
};

}  // namespace jolp
