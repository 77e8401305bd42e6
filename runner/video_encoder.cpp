#include "runner/video_encoder.h"

#include "platform/file_read.h"
#include "platform/file_write.h"
#include "platform/log.h"
#include "runner/interrupt.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace jolp {
namespace {

constexpr const char* kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                    "medium",    "slow",      "slower",   "veryslow"};
// libvpx speed steps for the presets above, fastest first; the two fastest
// run its real-time mode.
constexpr int kVp9Speed[] = {8, 7, 5, 5, 4, 4, 2, 1, 0};
constexpr int32_t kDefaultH264Crf = 18;
constexpr int32_t kDefaultVp9Crf = 31;
constexpr int kPipeBytes = 1 << 20;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

int PresetIndex(const std::string& name) {
    const std::string wanted = name.empty() ? "medium" : name;
    for (size_t i = 0; i < std::size(kPresets); ++i) {
        if (wanted == kPresets[i]) return static_cast<int>(i);
    }
    return -1;
}

std::string Seconds(uint64_t frames, uint32_t fpsNum, uint32_t fpsDen) {
    // frames * den / num seconds, to the microsecond.
    const uint64_t micro = frames * fpsDen * 1000000u / fpsNum;
    char text[48];
    std::snprintf(text, sizeof text, "%llu.%06llu", static_cast<unsigned long long>(micro / 1000000u),
                  static_cast<unsigned long long>(micro % 1000000u));
    return text;
}

const char* FfmpegProgram(const std::string& variable) {
    const char* chosen = std::getenv(variable.c_str());
    return chosen && *chosen ? chosen : "ffmpeg";
}

}  // namespace

bool VideoContainerFor(const std::string& path, VideoContainer& container) {
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    if (extension == ".mp4") {
        container = VideoContainer::Mp4;
    } else if (extension == ".webm") {
        container = VideoContainer::WebM;
    } else if (extension == ".mkv") {
        container = VideoContainer::Matroska;
    } else {
        return false;
    }
    return true;
}

bool IsVideoPreset(const std::string& name) { return PresetIndex(name) >= 0 && !name.empty(); }

std::vector<std::string> FfmpegArguments(const VideoSettings& s, VideoContainer container,
                                         const std::string& outputPath) {
    std::vector<std::string> args = {"-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y"};
    const std::string duration = Seconds(s.frameCount, s.fpsNum, s.fpsDen);
    const std::string start = Seconds(s.firstFrame, s.fpsNum, s.fpsDen);
    const bool sound = !s.musicPath.empty();
    // A copied stream can only be cut between its packets, and seeking in
    // its input lands on a page well before the start. So the copy keeps
    // the music's own times, the frames are placed at theirs, and the output
    // is cut at the start: both begin within one packet of time 0.
    const bool copySound = sound && container == VideoContainer::Matroska;
    if (copySound) args.insert(args.end(), {"-itsoffset", start});
    args.insert(args.end(), {"-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
                             std::to_string(s.width) + "x" + std::to_string(s.height), "-framerate",
                             std::to_string(s.fpsNum) + "/" + std::to_string(s.fpsDen), "-i", "pipe:0"});
    if (copySound) {
        args.insert(args.end(), {"-i", FfmpegFileName(s.musicPath), "-ss", start});
    } else if (sound) {
        args.insert(args.end(), {"-ss", start, "-t", duration, "-i", FfmpegFileName(s.musicPath)});
    }
    args.insert(args.end(), {"-map", "0:v:0"});
    if (sound) args.insert(args.end(), {"-map", "1:a:0"});
    // 4:2:0 wants even sides; an odd one gets a black line.
    if (s.width % 2 != 0 || s.height % 2 != 0) args.insert(args.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"});

    const int preset = PresetIndex(s.preset) >= 0 ? PresetIndex(s.preset) : PresetIndex("medium");
    if (container == VideoContainer::WebM) {
        const int speed = kVp9Speed[preset];
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-crf", std::to_string(s.crf >= 0 ? s.crf : kDefaultVp9Crf),
                                 "-b:v", "0", "-deadline", speed >= 7 ? "realtime" : "good", "-cpu-used",
                                 std::to_string(speed), "-row-mt", "1", "-pix_fmt", "yuv420p"});
        if (sound) args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
        args.insert(args.end(), {"-t", duration, "-f", "webm"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", kPresets[preset], "-crf",
                                 std::to_string(s.crf >= 0 ? s.crf : kDefaultH264Crf), "-pix_fmt", "yuv420p"});
        if (container == VideoContainer::Mp4) {
            if (sound) args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
            args.insert(args.end(), {"-movflags", "+faststart", "-t", duration, "-f", "mp4"});
        } else {
            if (sound) args.insert(args.end(), {"-c:a", "copy"});
            args.insert(args.end(), {"-t", duration, "-f", "matroska"});
        }
    }
    args.push_back(FfmpegFileName(outputPath));
    return args;
}

std::string FfmpegFileName(const std::string& path) {
    // "file:" takes the rest as it stands: no option ("-x.mp4"), no other
    // protocol ("pipe:1.mp4"), no image sequence pattern.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return "file:" + (ec ? path : full.string());
}

bool CheckVideoPath(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    VideoContainer container;
    std::error_code ec;
    if (fs::is_directory(path, ec) || path.ends_with('/')) {
        error = path + ": is a folder, not a video file";
        return false;
    }
    if (!CheckOutputPath(path, error)) return false;
    if (!VideoContainerFor(path, container)) {
        const std::string extension = fs::path(path).extension().string();
        error = path + ": " + (extension.empty() ? "no video type" : "unknown video type \"" + extension + "\"") +
                "; use .mp4 (H.264 + AAC), .webm (VP9 + Opus) or .mkv (H.264 + Vorbis)";
        return false;
    }
    return true;
}

std::unique_ptr<VideoEncoder> VideoEncoder::Create(const VideoSettings& settings, std::string& error) {
    namespace fs = std::filesystem;
    VideoContainer container;
    if (!CheckVideoPath(settings.path, error) || !VideoContainerFor(settings.path, container)) return nullptr;
    std::error_code ec;
    fs::path folder = fs::path(settings.path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::is_directory(folder, ec)) {
        error = settings.path + ": the folder " + folder.string() + " does not exist";
        return nullptr;
    }
    if (settings.frameCount == 0) {
        error = settings.path + ": no frame lies in the span asked for; no video is written";
        return nullptr;
    }

    std::unique_ptr<VideoEncoder> encoder(new VideoEncoder());
    encoder->settings_ = settings;
    // A temporary file of this run's own beside the destination, which
    // ffmpeg fills and Finish renames into place when it is whole.
    if (!encoder->output_.Open(settings.path, error)) return nullptr;
    encoder->temporaryPath_ = encoder->output_.TemporaryPath();
    const size_t frameBytes = static_cast<size_t>(settings.width) * settings.height * 3;
    for (auto& buffer : encoder->buffers_) buffer.assign(frameBytes, 0);

    // ffmpeg's messages go to a file of their own, shown when it fails.
    const char* tmp = std::getenv("TMPDIR");
    std::string logTemplate = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + LogName() + "-ffmpeg-XXXXXX";
    std::vector<char> logName(logTemplate.begin(), logTemplate.end());
    logName.push_back('\0');
    const int logFd = mkstemp(logName.data());
    if (logFd < 0) {
        error = std::string("cannot make a file for ffmpeg's messages in ") + (tmp && *tmp ? tmp : "/tmp") + " (" +
                std::strerror(errno) + ")";
        return nullptr;
    }
    encoder->logPath_ = logName.data();

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        close(logFd);
        error = std::string("cannot make a pipe to ffmpeg (") + std::strerror(errno) + ")";
        return nullptr;
    }
    fcntl(fds[1], F_SETPIPE_SZ, kPipeBytes);  // best effort: fewer, larger writes

    const std::vector<std::string> arguments = FfmpegArguments(settings, container, encoder->temporaryPath_);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(FfmpegProgram(settings.ffmpegVariable)));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group: Ctrl+C reaches us, and we stop ffmpeg ourselves
    // after removing nothing we still need. Signals we ignore are its own.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    close(logFd);
    if (spawned != 0) {
        close(fds[1]);
        fs::remove(encoder->logPath_, ec);
        encoder->logPath_.clear();
        if (spawned == ENOENT) {
            error = std::string(argv[0]) +
                    " was not found: --video needs the ffmpeg tool (Debian: apt-get install ffmpeg), or " +
                    settings.ffmpegVariable + " naming it";
        } else {
            error = std::string("cannot run ") + argv[0] + " (" + std::strerror(spawned) + ")";
        }
        return nullptr;
    }
    encoder->child_ = child;
    encoder->pipe_ = fds[1];
    // A signal that ends us at once ends ffmpeg too (interrupt.h).
    SetInterruptChild(child);
    // A pipe whose reader is gone must give EPIPE, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        encoder->writer_ = std::thread(&VideoEncoder::WriterLoop, encoder.get());
    } catch (const std::system_error& e) {
        error = settings.path + ": cannot start the thread that feeds ffmpeg (" + e.code().message() + ")";
        return nullptr;  // the destructor stops ffmpeg and removes its file
    }
    return encoder;
}

VideoEncoder::~VideoEncoder() {
    if (!done_) Abort();
}

void VideoEncoder::WriterLoop() {
    int32_t index = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return queued_[index] || closing_; });
            if (!queued_[index]) return;  // closing, nothing left to write
        }
        const uint8_t* data = buffers_[index].data();
        size_t left = buffers_[index].size();
        int failure = 0;
        while (left > 0) {
            const ssize_t n = write(pipe_, data, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                failure = errno;
                break;
            }
            data += n;
            left -= static_cast<size_t>(n);
        }
        std::unique_lock lock(mutex_);
        queued_[index] = false;
        if (failure != 0) {
            writeFailed_ = true;
            writeErrno_ = failure;
            queued_[0] = queued_[1] = false;
            changed_.notify_all();
            return;
        }
        changed_.notify_all();
        index ^= 1;
    }
}

bool VideoEncoder::TakeFrame(const FramePicture& frame, std::string& error) {
    {
        std::unique_lock lock(mutex_);
        // An ffmpeg that takes no more frames and does not end must not
        // hold the run past a Ctrl+C.
        while (!changed_.wait_for(lock, std::chrono::milliseconds(50), [&] { return !queued_[next_] || writeFailed_; })) {
            if (InterruptRequested()) {
                error = settings_.path + ": interrupted while ffmpeg took no frames";
                return false;
            }
        }
        if (writeFailed_) {
            error = settings_.path + ": ffmpeg stopped taking frames after " + std::to_string(submitted_) +
                    " frames (" + std::strerror(writeErrno_) + ")" + FfmpegTail();
            return false;
        }
    }
    std::vector<uint8_t>& buffer = buffers_[next_];
    std::memcpy(buffer.data(), frame.rgb, std::min(buffer.size(), size_t{frame.width} * frame.height * 3));
    {
        std::lock_guard lock(mutex_);
        queued_[next_] = true;
        next_ ^= 1;
    }
    changed_.notify_all();
    ++submitted_;
    return true;
}

bool VideoEncoder::StopWriter() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
    if (pipe_ >= 0) close(pipe_);
    pipe_ = -1;
    return !writeFailed_;
}

std::string VideoEncoder::FfmpegTail() const {
    if (logPath_.empty()) return "";
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadRegularFile(logPath_, 1u << 20, bytes, reason)) return "";
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) return "";
    // The last few lines are the ones that say why.
    size_t start = text.size();
    for (int lines = 0; lines < 6; ++lines) {
        const size_t nl = start > 0 ? text.rfind('\n', start - 1) : std::string::npos;
        if (nl == std::string::npos) {
            start = 0;
            break;
        }
        start = nl;
    }
    std::string tail = text.substr(start);
    if (!tail.empty() && tail.front() == '\n') tail.erase(tail.begin());
    return "; ffmpeg said:\n" + tail;
}

bool VideoEncoder::Finish(std::string& error) {
    namespace fs = std::filesystem;
    if (done_) return false;
    // The frames still queued go to ffmpeg first; an ffmpeg that reads no
    // more of them, or that never ends, gives way to a Ctrl+C.
    {
        std::unique_lock lock(mutex_);
        while (!changed_.wait_for(lock, std::chrono::milliseconds(50),
                                  [&] { return (!queued_[0] && !queued_[1]) || writeFailed_; })) {
            if (InterruptRequested()) {
                lock.unlock();
                error = settings_.path + ": interrupted while ffmpeg took the last frames; nothing is written";
                Abort();
                return false;
            }
        }
    }
    // Closing the pipe tells ffmpeg the frames have ended.
    const bool written = StopWriter();
    int status = 0;
    for (;;) {
        const pid_t waited = waitpid(child_, &status, WNOHANG);
        if (waited == child_) break;
        if (waited < 0 && errno != EINTR) break;
        if (InterruptRequested()) {
            error = settings_.path + ": interrupted while ffmpeg finished the video; nothing is written";
            Abort();
            return false;
        }
        usleep(10000);
    }
    child_ = -1;
    SetInterruptChild(0);
    done_ = true;
    std::error_code ec;
    bool ok = false;
    if (!written) {
        error = settings_.path + ": ffmpeg stopped taking frames after " + std::to_string(submitted_) + " frames (" +
                std::strerror(writeErrno_) + ")" + FfmpegTail();
    } else if (WIFSIGNALED(status)) {
        error = settings_.path + ": ffmpeg was ended by signal " + std::to_string(WTERMSIG(status)) + FfmpegTail();
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = settings_.path + ": ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")" +
                FfmpegTail();
    } else if (!fs::is_regular_file(temporaryPath_, ec) || fs::file_size(temporaryPath_, ec) == 0) {
        error = settings_.path + ": ffmpeg ended without writing the video" + FfmpegTail();
    } else {
        ok = output_.Commit(error);
    }
    if (!ok) output_.Abandon();
    fs::remove(logPath_, ec);
    return ok;
}

void VideoEncoder::Abort() {
    namespace fs = std::filesystem;
    if (done_) return;
    done_ = true;
    if (child_ > 0) kill(child_, SIGKILL);  // unblocks a write in progress
    StopWriter();
    if (child_ > 0) {
        int status = 0;
        while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    child_ = -1;
    SetInterruptChild(0);
    output_.Abandon();
    std::error_code ec;
    if (!logPath_.empty()) fs::remove(logPath_, ec);
}

}  // namespace jolp
