// video_encoder.h - VideoEncoder, headless frames encoded to a video file
// with the music, by the ffmpeg command-line tool run as a child process.
//
// The container and codecs follow the file's extension:
//   .mp4   H.264 + AAC
//   .webm  VP9 + Opus
//   .mkv   H.264 + the music's own Vorbis stream, copied
// Frames go to ffmpeg's standard input as raw RGB, top row first, from a
// thread of the encoder's own, so the next frame is drawn while the last one
// is encoded. ffmpeg writes a temporary file of this run's own beside the
// destination (an OutputFile's, file_write.h), renamed to NAME only when
// every frame was encoded and ffmpeg ended well; a failure, an abort or an
// interrupt removes it, so a file under the destination's name is always
// complete. A link or a device at NAME is refused before anything starts.
// ffmpeg is handed every path as "file:/absolute/path", which it cannot
// read as an option or another protocol. While it runs, a Ctrl+C or
// SIGTERM (interrupt.h) ends the waits for it: it is killed, its file
// removed.
//
// The encoder owns the child process, the pipe, the thread and its two frame
// buffers, all made in Create; TakeFrame allocates nothing. The program owns the
// encoder. The variable VideoSettings::ffmpegVariable names may name
// another ffmpeg (a path or a command name).
#pragma once

#include "framework/frame_sink.h"
#include "platform/file_write.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace jolp {

enum class VideoContainer { Mp4, WebM, Matroska };

struct VideoSettings {
    std::string path;  // the destination, as the user gave it
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fpsNum = 30;
    uint32_t fpsDen = 1;
    // The first frame's index on the demo's timeline: the sound starts at
    // its time, firstFrame * fpsDen / fpsNum seconds into the music.
    uint64_t firstFrame = 0;
    uint64_t frameCount = 0;
    // The music file to take the sound from; empty: a silent video.
    std::string musicPath;
    // Quality: -1 takes the codec's default (H.264 18, VP9 31).
    int32_t crf = -1;
    // Speed against size: an x264 preset name (ultrafast ... veryslow);
    // VP9 maps it onto its own speed steps. Empty: "medium".
    std::string preset;
    // The environment variable that may name another ffmpeg (a path or a
    // command name); the runner names it after the demo (NAME_FFMPEG).
    std::string ffmpegVariable = "JOLP_FFMPEG";
};

// The container for path's extension (case does not matter); false when it
// is none of .mp4, .webm and .mkv.
bool VideoContainerFor(const std::string& path, VideoContainer& container);
// Whether path can name a video we write: a known extension, and not a
// folder. False with "PATH: why" in error.
bool CheckVideoPath(const std::string& path, std::string& error);
// Whether name is an x264 preset name.
bool IsVideoPreset(const std::string& name);
// path as ffmpeg must be given it: "file:" and the absolute path.
std::string FfmpegFileName(const std::string& path);
// The ffmpeg arguments (without the program) that encode settings into
// outputPath. Public for tests.
std::vector<std::string> FfmpegArguments(const VideoSettings& settings, VideoContainer container,
                                         const std::string& outputPath);

class VideoEncoder final : public FrameSink {
public:
    // Checks the extension and the destination folder, starts ffmpeg and the
    // writer thread. Null, with the reason, when any of that fails.
    static std::unique_ptr<VideoEncoder> Create(const VideoSettings& settings, std::string& error);
    // Aborts unless Finish succeeded.
    ~VideoEncoder();

    // Queues the frame's picture for encoding; waits while both buffers are
    // still queued. False, with the reason, when ffmpeg has stopped taking
    // frames.
    bool TakeFrame(const FramePicture& frame, std::string& error) override;
    // Sends the end of the stream, waits for ffmpeg, and puts the file in
    // place. False, with the reason (and ffmpeg's last words), on failure.
    bool Finish(std::string& error);
    // Stops ffmpeg and removes the temporary file.
    void Abort();

    const std::string& TemporaryPath() const { return temporaryPath_; }
    uint64_t Submitted() const { return submitted_; }

private:
    VideoEncoder() = default;
    void WriterLoop();
    bool StopWriter();
    std::string FfmpegTail() const;

    VideoSettings settings_;
    OutputFile output_;
    std::string temporaryPath_;
    std::string logPath_;
    pid_t child_ = -1;
    int pipe_ = -1;
    bool done_ = false;

    // Two frames: the one being written to ffmpeg and the next one.
    std::vector<uint8_t> buffers_[2];
    std::mutex mutex_;
    std::condition_variable changed_;
    bool queued_[2] = {false, false};
    int32_t next_ = 0;      // the buffer the next Submit fills
    bool closing_ = false;  // no more frames
    bool writeFailed_ = false;
    int writeErrno_ = 0;
    std::thread writer_;
    uint64_t submitted_ = 0;
};

}  // namespace jolp
