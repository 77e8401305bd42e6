#include "runner/capture_driver.h"

#include "framework/demo_program.h"
#include "platform/counter.h"
#include "platform/log.h"
#include "runner/capture_progress.h"
#include "runner/frame_capture.h"
#include "runner/video_encoder.h"

#include <cctype>
#include <filesystem>
#include <utility>

namespace jolp {
namespace {

// Counts the frames on the progress line; it needs no pixels.
class ProgressSink final : public FrameSink {
public:
    explicit ProgressSink(CaptureProgress& progress) : progress_(progress) {}
    bool WantsPixels() const override { return false; }
    bool TakeFrame(const FramePicture&, std::string&) override {
        progress_.FrameDone(MonotonicMs());
        return true;
    }

private:
    CaptureProgress& progress_;
};

}  // namespace

CaptureDriver::CaptureDriver(CaptureSettings settings) : settings_(std::move(settings)) {}
CaptureDriver::~CaptureDriver() = default;

bool CaptureDriver::Start(DemoProgram& program) {
    const RunConfig& config = program.Config();
    uint32_t to = program.length;
    if (config.hasTo && config.toMs < to) to = config.toMs;
    const FrameGrid grid = config.Grid();
    const uint64_t first = grid.FirstFrameAtOrAfter(config.fromMs);
    const uint64_t last = grid.FirstFrameAtOrAfter(to);
    const uint64_t frames = last > first ? last - first : 0;
    if (frames == 0) {
        // Nothing would be captured: an empty folder or a video without a
        // stream is no result to report as one.
        Log(LogLevel::Error, "no frame lies in the span asked for (%.3f s to %.3f s; the demo ends at %.3f s); "
            "nothing is captured", config.fromMs / 1000.0, to / 1000.0, program.length / 1000.0);
        return false;
    }
    std::string error;
    if (!settings_.captureDir.empty()) {
        capture_ = FrameCapture::Create(settings_.captureDir, error);
        if (!capture_) {
            Log(LogLevel::Error, "%s", error.c_str());
            return false;
        }
        program.AddFrameSink(capture_.get());
    }
    if (!settings_.videoPath.empty()) {
        VideoSettings video;
        video.path = settings_.videoPath;
        video.width = program.display.width;
        video.height = program.display.height;
        video.fpsNum = config.fpsNum;
        video.fpsDen = config.fpsDen;
        video.firstFrame = first;
        video.frameCount = frames;
        video.crf = settings_.videoCrf;
        video.preset = settings_.videoPreset;
        // DEMO_FFMPEG names another ffmpeg.
        video.ffmpegVariable.clear();
        for (const char c : config.name) {
            video.ffmpegVariable += std::isalnum(static_cast<unsigned char>(c))
                                        ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                                        : '_';
        }
        video.ffmpegVariable += "_FFMPEG";
        std::error_code ec;
        if (program.music.handle != 0) {
            video.musicPath = std::filesystem::absolute(program.MusicPath(), ec).string();
        } else {
            Log(LogLevel::Warning, "%s could not be opened; the video has no sound", program.MusicPath().c_str());
        }
        video_ = VideoEncoder::Create(video, error);
        if (!video_) {
            Log(LogLevel::Error, "%s", error.c_str());
            return false;
        }
        program.AddFrameSink(video_.get());
    }
    progress_ = std::make_unique<CaptureProgress>(frames, CaptureProgress::StderrIsTerminal(), MonotonicMs());
    progressSink_ = std::make_unique<ProgressSink>(*progress_);
    program.AddFrameSink(progressSink_.get());
    return true;
}

bool CaptureDriver::Play(DemoProgram& program) { return program.PlayFrames(); }

bool CaptureDriver::Finish(DemoProgram& program, bool ok) {
    if (capture_) {
        std::string error;
        if (!capture_->Finish(error)) {  // the last frame could not be written
            if (progress_) progress_->BreakLine();
            Log(LogLevel::Error, "%s", error.c_str());
            ok = false;
        }
    }
    if (program.Interrupted()) {
        if (progress_) progress_->BreakLine();
        Log(LogLevel::Error, "interrupted; the capture stops here%s",
            video_ ? " and the unfinished video is removed" : "");
    } else if (progress_) {
        // A run that failed does not end its progress line with "done".
        ok ? progress_->Finish(MonotonicMs()) : progress_->BreakLine();
    }
    if (ok && video_) {
        std::string error;
        ok = video_->Finish(error);
        if (ok) {
            Log(LogLevel::Info, "wrote %s", settings_.videoPath.c_str());
        } else {
            Log(LogLevel::Error, "%s", error.c_str());
        }
    }
    video_.reset();  // aborts an unfinished video: its file is removed
    return ok;
}

}  // namespace jolp
