// Video capture through the real tarvel binary and the real ffmpeg: each
// container is encoded from a short span of the generated demo, then read
// back with ffprobe and ffmpeg. The streams, codecs, frame count and the
// lengths of picture and sound agree; the decoded pictures are the frames
// --capture writes in the same run, in order and the right way up; the
// sound is the music from the span's start. Failures (no ffmpeg, an unknown
// extension, an unwritable place, ffmpeg dying part-way, Ctrl+C) leave no
// file that looks complete.
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace jolp::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kTarvel = TARVEL_BINARY;
const fs::path kRunDir = fs::path(TARVEL_BINARY).parent_path();
const std::string kFfmpeg = FFMPEG_BINARY;
const std::string kFfprobe = FFPROBE_BINARY;

constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr int kFps = 10;
constexpr int kSampleRate = 44100;
// 29.5 to 31.5 s: the cut from Camera05 to Camera06 (31.2 s) with its fade
// lies inside, so neighbouring frames differ.
constexpr const char* kFrom = "29.5";
constexpr const char* kTo = "31.5";
constexpr double kFromSeconds = 29.5;
constexpr int kFrames = 20;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<float> ReadFloats(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

// key=value fields of each "stream|..." line of ffprobe's compact output.
std::vector<std::map<std::string, std::string>> ProbeStreams(const fs::path& video) {
    const ProcessResult r = RunProcess(kFfprobe, {"-v", "error", "-count_frames", "-show_entries",
                                                   "stream=codec_type,codec_name,nb_read_frames,start_time,width,height",
                                                   "-of", "compact", video.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::map<std::string, std::string>> streams;
    size_t at = 0;
    while (at < r.out.size()) {
        size_t end = r.out.find('\n', at);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with("stream|")) continue;
        std::map<std::string, std::string> fields;
        size_t p = 7;
        while (p < line.size()) {
            size_t bar = line.find('|', p);
            if (bar == std::string::npos) bar = line.size();
            const std::string field = line.substr(p, bar - p);
            const size_t eq = field.find('=');
            if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
            p = bar + 1;
        }
        streams.push_back(fields);
    }
    return streams;
}

// The sound of file (from start seconds, for seconds when > 0) as mono
// floats at 44.1 kHz.
std::vector<float> DecodeSound(const fs::path& file, const fs::path& out, double start = 0.0, double seconds = 0.0) {
    std::vector<std::string> args = {"-v", "error", "-y"};
    if (start > 0.0) args.insert(args.end(), {"-ss", std::to_string(start)});
    args.insert(args.end(), {"-i", file.string()});
    if (seconds > 0.0) args.insert(args.end(), {"-t", std::to_string(seconds)});
    args.insert(args.end(), {"-map", "0:a:0", "-ac", "1", "-ar", std::to_string(kSampleRate), "-f", "f32le",
                             out.string()});
    const ProcessResult r = RunProcess(kFfmpeg, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ReadFloats(out);
}

// The offset (in samples, within +-range) at which b best matches a,
// over a window from `at`: b[i] ~ a[i + lag].
int BestLag(const std::vector<float>& a, const std::vector<float>& b, size_t at, size_t window, int range) {
    double best = -2.0;
    int bestLag = 0;
    for (int lag = -range; lag <= range; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = at; i < at + window; ++i) {
            const long j = static_cast<long>(i) + lag;
            if (j < 0 || static_cast<size_t>(j) >= a.size() || i >= b.size()) continue;
            ab += a[j] * b[i];
            aa += a[j] * a[j];
            bb += b[i] * b[i];
        }
        const double score = aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : -1.0;
        if (score > best) {
            best = score;
            bestLag = lag;
        }
    }
    EXPECT_GT(best, 0.9) << "the video's sound does not match the music anywhere near its place";
    return bestLag;
}

double MeanDifference(const uint8_t* a, const uint8_t* b, size_t bytes) {
    uint64_t sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum += static_cast<uint64_t>(std::abs(int{a[i]} - int{b[i]}));
    return static_cast<double>(sum) / static_cast<double>(bytes);
}

std::vector<uint8_t> LoadRgb(const fs::path& png) {
    int w = 0, h = 0, n = 0;
    stbi_uc* data = stbi_load(png.c_str(), &w, &h, &n, 3);
    if (!data) {
        ADD_FAILURE() << png << ": " << stbi_failure_reason();
        return {};
    }
    std::vector<uint8_t> rgb(data, data + static_cast<size_t>(w) * h * 3);
    stbi_image_free(data);
    return rgb;
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The temporary files of a video being written in folder.
std::vector<std::string> Unfinished(const fs::path& folder) {
    std::vector<std::string> names;
    for (const std::string& name : Listing(folder)) {
        if (name.ends_with(".partial")) names.push_back(name);
    }
    return names;
}

std::string FrameName(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06d.png", frame);
    return name;
}

class VideoCapture : public ::testing::TestWithParam<std::pair<std::string, std::pair<std::string, std::string>>> {};

TEST_P(VideoCapture, PictureAndSoundAgreeWithTheCaptureAndTheMusic) {
    const std::string extension = GetParam().first;
    const std::string videoCodec = GetParam().second.first;
    const std::string soundCodec = GetParam().second.second;
    TempDir dir;
    const fs::path video = dir.Path() / ("demo" + extension);
    const fs::path frames = dir.Path() / "frames";
    const ProcessResult run = RunProcess(
        kTarvel, {"--data", kRunDir.string(), "--video", video.string(), "--capture", frames.string(), "--size",
                  std::to_string(kWidth) + "x" + std::to_string(kHeight), "--fps", std::to_string(kFps), "--from",
                  kFrom, "--to", kTo},
        {}, 300.0);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("frame 20 of 20"));
    ASSERT_TRUE(fs::is_regular_file(video));
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"demo" + extension, "frames"}));

    // Streams and codecs; the frame count.
    const auto streams = ProbeStreams(video);
    ASSERT_EQ(streams.size(), 2u);
    const auto& picture = streams[0].at("codec_type") == "video" ? streams[0] : streams[1];
    const auto& sound = streams[0].at("codec_type") == "video" ? streams[1] : streams[0];
    EXPECT_EQ(picture.at("codec_type"), "video");
    EXPECT_EQ(sound.at("codec_type"), "audio");
    EXPECT_EQ(picture.at("codec_name"), videoCodec);
    EXPECT_EQ(sound.at("codec_name"), soundCodec);
    EXPECT_EQ(picture.at("width"), std::to_string(kWidth));
    EXPECT_EQ(picture.at("height"), std::to_string(kHeight));
    EXPECT_EQ(picture.at("nb_read_frames"), std::to_string(kFrames));
    // Both start at time 0, within one frame.
    const double frameSeconds = 1.0 / kFps;
    EXPECT_NEAR(std::stod(picture.at("start_time")), 0.0, frameSeconds);
    EXPECT_NEAR(std::stod(sound.at("start_time")), 0.0, frameSeconds);

    // The sound lasts as long as the picture, within one frame, and is the
    // music from 29.5 s on.
    const std::vector<float> heard = DecodeSound(video, dir.Path() / "heard.f32");
    const double soundSeconds = static_cast<double>(heard.size()) / kSampleRate;
    EXPECT_NEAR(soundSeconds, kFrames * frameSeconds, frameSeconds);
    const std::vector<float> music =
        DecodeSound(kRunDir / "media/music.ogg", dir.Path() / "music.f32", kFromSeconds, kFrames * frameSeconds);
    const int samplesPerFrame = kSampleRate / kFps;
    const int lag = BestLag(music, heard, kSampleRate / 2, kSampleRate / 4, samplesPerFrame);
    EXPECT_LE(std::abs(lag), samplesPerFrame / 4) << "sound and picture are " << lag << " samples apart";

    // Decoded pictures: frame i is the PNG frame i of the same run.
    const fs::path raw = dir.Path() / "decoded.rgb";
    const ProcessResult decode = RunProcess(
        kFfmpeg, {"-v", "error", "-y", "-i", video.string(), "-f", "rawvideo", "-pix_fmt", "rgb24", raw.string()});
    ASSERT_EQ(decode.exitCode, 0) << decode.err;
    const std::vector<uint8_t> decoded = ReadFile(raw);
    const size_t frameBytes = static_cast<size_t>(kWidth) * kHeight * 3;
    ASSERT_EQ(decoded.size(), frameBytes * kFrames);
    std::vector<std::vector<uint8_t>> captured;
    for (int i = 0; i < kFrames; ++i) {
        // --capture names frames by their index on the whole timeline.
        captured.push_back(LoadRgb(frames / FrameName(295 + i)));
        ASSERT_EQ(captured.back().size(), frameBytes);
    }
    double shifted[3] = {0, 0, 0};  // decoded i against captured i-1, i, i+1
    for (int i = 1; i + 1 < kFrames; ++i) {
        for (int s = -1; s <= 1; ++s) {
            shifted[s + 1] += MeanDifference(decoded.data() + frameBytes * i, captured[i + s].data(), frameBytes);
        }
        EXPECT_LT(MeanDifference(decoded.data() + frameBytes * i, captured[i].data(), frameBytes), 6.0)
            << "frame " << i;
    }
    EXPECT_LT(shifted[1], shifted[0]);
    EXPECT_LT(shifted[1], shifted[2]);
    // Upside down would differ far more than the codec's loss.
    std::vector<uint8_t> flipped(frameBytes);
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(flipped.data() + static_cast<size_t>(y) * kWidth * 3,
                    captured[10].data() + static_cast<size_t>(kHeight - 1 - y) * kWidth * 3, kWidth * 3);
    }
    EXPECT_LT(MeanDifference(decoded.data() + frameBytes * 10, captured[10].data(), frameBytes),
              MeanDifference(decoded.data() + frameBytes * 10, flipped.data(), frameBytes));
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoCapture,
                         ::testing::Values(std::make_pair(".mp4", std::make_pair("h264", "aac")),
                                           std::make_pair(".webm", std::make_pair("vp9", "opus")),
                                           std::make_pair(".mkv", std::make_pair("h264", "vorbis"))),
                         [](const auto& info) { return info.param.first.substr(1); });

ProcessResult ShortVideo(const fs::path& video, const std::vector<std::string>& env = {},
                         const std::string& to = "0.5", const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"--data", kRunDir.string(), "--video", video.string(), "--size", "64x36", "--to", to};
    args.insert(args.end(), more.begin(), more.end());
    return RunProcess(kTarvel, args, env, 120.0);
}

TEST(VideoCaptureFailures, EachEndsWithAMessageExitOneAndNoFileThatLooksComplete) {
    TempDir dir;
    // An odd size is padded to even sides for 4:2:0.
    {
        const fs::path odd = dir.Path() / "odd.mp4";
        const ProcessResult r = RunProcess(
            kTarvel, {"--data", kRunDir.string(), "--video", odd.string(), "--size", "65x37", "--to", "0.3"}, {}, 120);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto streams = ProbeStreams(odd);
        ASSERT_FALSE(streams.empty());
        EXPECT_EQ(streams[0].at("width"), "66");
        EXPECT_EQ(streams[0].at("height"), "38");
    }
    struct Case {
        std::string name;
        fs::path video;
        std::vector<std::string> env;
        std::string message;
        int exitCode = 1;  // 2: refused with the command line, before start-up
        std::vector<std::string> more = {};
    };
    // A stand-in ffmpeg that takes some frames, writes half a file, and dies.
    const fs::path fake = dir.Path() / "dying-ffmpeg";
    {
        std::ofstream script(fake);
        script << "#!/bin/sh\n"
                  "for last; do :; done\n"
                  "head -c 20000 >/dev/null\n"
                  "printf 'half a video' > \"${last#file:}\"\n"
                  "echo 'Conversion failed: disk full' >&2\n"
                  "exit 1\n";
    }
    fs::permissions(fake, fs::perms::owner_all);
    fs::create_directories(dir.Path() / "folder.mp4");
    // A link planted under the video's name, and a device in its place.
    {
        std::ofstream(dir.Path() / "private") << "someone's";
    }
    fs::create_symlink(dir.Path() / "private", dir.Path() / "link.mp4");
    std::vector<Case> cases = {
        {"unknown extension", dir.Path() / "demo.avi", {}, "unknown video type \".avi\"", 2},
        {"no extension", dir.Path() / "demo", {}, "no video type", 2},
        {"missing folder", dir.Path() / "nowhere" / "demo.mp4", {}, "does not exist"},
        {"a folder", dir.Path() / "folder.mp4", {}, "is a folder", 2},
        {"a file as folder", dir.Path() / "odd.mp4" / "demo.mp4", {}, "does not exist"},
        {"no ffmpeg", dir.Path() / "a.mp4", {"TARVEL_FFMPEG=/nonexistent/ffmpeg"}, "was not found"},
        {"no ffmpeg on PATH", dir.Path() / "b.mp4", {"PATH=" + (dir.Path() / "empty").string()}, "was not found"},
        {"ffmpeg dies part-way", dir.Path() / "c.mp4", {"TARVEL_FFMPEG=" + fake.string()}, "disk full"},
        {"a link", dir.Path() / "link.mp4", {}, "is a link; outputs are never written through a link", 2},
        {"no frame in the span", dir.Path() / "d.mp4", {}, "no frame lies in the span asked for", 1,
         {"--fps", "1", "--from", "300"}},
    };
    // A device under the video's name (as root: the node of /dev/full).
    if (::mknod((dir.Path() / "device.mp4").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        cases.push_back({"a device", dir.Path() / "device.mp4", {}, "is a character device, not a regular file", 2});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult r = ShortVideo(c.video, c.env, c.name == "ffmpeg dies part-way" ? "3" : c.more.empty() ? "0.5" : "400", c.more);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_THAT(r.err, HasSubstr("tarvel: "));
        EXPECT_THAT(r.err, HasSubstr(c.message));
        EXPECT_THAT(r.err, ::testing::Not(HasSubstr("wrote")));
        if (c.name != "a folder" && c.name != "a link" && c.name != "a device") {
            EXPECT_FALSE(fs::exists(c.video));
        }
        EXPECT_TRUE(Unfinished(dir.Path()).empty());
    }
    std::ifstream in(dir.Path() / "private");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "someone's");
}

// Names ffmpeg would read as an option or a protocol are written as the
// files they name, in the folder the run started in; a file of the user's
// under a name like a temporary one is left alone.
TEST(VideoCaptureFailures, ANameLikeAnOptionOrAProtocolIsAFileAndNoUserFileIsTouched) {
    TempDir dir;
    {
        std::ofstream(dir.Path() / "file:fp.mp4.partial") << "mine";
    }
    for (const std::string name : {"-dash.mp4", "file:fp.mp4", "pipe:1.mp4"}) {
        SCOPED_TRACE(name);
        const ProcessResult r = RunProcess(
            "/bin/sh",
            {"-c", "cd \"$1\" && exec \"$0\" --data \"$2\" --video \"$3\" --size 64x36 --to 0.3", kTarvel,
             dir.Path().string(), kRunDir.string(), name},
            {}, 120.0);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, ::testing::IsEmpty());  // nothing went to ffmpeg's standard output
        const auto streams = ProbeStreams(dir.Path() / name);
        EXPECT_FALSE(streams.empty());
    }
    EXPECT_EQ(Listing(dir.Path()),
              (std::vector<std::string>{"-dash.mp4", "file:fp.mp4", "file:fp.mp4.partial", "pipe:1.mp4"}));
    EXPECT_EQ(ReadFile(dir.Path() / "file:fp.mp4.partial").size(), 4u);
}

struct Stop {
    const char* name;
    std::vector<int> signals;  // sent one after the other
    bool stuckFfmpeg;          // an ffmpeg that takes every frame and never ends
};

class VideoInterrupt : public ::testing::TestWithParam<Stop> {};

// However the run is stopped, it ends with exit 1 and "interrupted", ffmpeg
// is gone, and no unfinished file is left behind.
TEST_P(VideoInterrupt, StopsTheCaptureEndsFfmpegAndRemovesTheUnfinishedVideo) {
    const Stop& stop = GetParam();
    TempDir dir;
    const fs::path video = dir.Path() / "long.mp4";
    const fs::path stuck = dir.Path() / "stuck-ffmpeg";
    {
        // It notes its process id, reads every frame, then waits for ever.
        std::ofstream script(stuck);
        script << "#!/bin/sh\necho $$ > \"" << (dir.Path() / "ffmpeg.pid").string()
               << "\"\ncat >/dev/null\nexec sleep 1000\n";
    }
    fs::permissions(stuck, fs::perms::owner_all);
    const std::string data = kRunDir.string();
    std::vector<std::string> args = {kTarvel, "--data", data, "--video", video.string(), "--size", "64x36"};
    if (stop.stuckFfmpeg) args.insert(args.end(), {"--to", "0.5"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) environment.push_back(*e);
    if (stop.stuckFfmpeg) environment.push_back("TARVEL_FFMPEG=" + stuck.string());
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, kTarvel.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Wait until ffmpeg has begun writing, or, stuck, has taken the frames.
    auto started = [&] {
        if (stop.stuckFfmpeg) {
            const std::vector<uint8_t> err = ReadFile(dir.Path() / "stderr.txt");
            return std::string(err.begin(), err.end()).find("done") != std::string::npos;
        }
        for (const std::string& name : Unfinished(dir.Path())) {
            if (fs::file_size(dir.Path() / name) > 0) return true;
        }
        return false;
    };
    for (int i = 0; i < 1200 && !started(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(started());
    for (const int signal : stop.signals) kill(child, signal);
    // No wait for ever: a run that does not end is killed and fails here.
    int status = 0;
    pid_t waited = 0;
    for (int i = 0; i < 200 && (waited = waitpid(child, &status, WNOHANG)) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (waited == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "still running 10 s after the signal";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(fs::exists(video));
    EXPECT_TRUE(Unfinished(dir.Path()).empty());
    const std::vector<uint8_t> err = ReadFile(dir.Path() / "stderr.txt");
    EXPECT_THAT(std::string(err.begin(), err.end()), HasSubstr("interrupted"));
    if (stop.stuckFfmpeg) {
        const std::vector<uint8_t> text = ReadFile(dir.Path() / "ffmpeg.pid");
        const pid_t ffmpeg = std::atoi(std::string(text.begin(), text.end()).c_str());
        ASSERT_GT(ffmpeg, 0);
        bool gone = false;
        for (int i = 0; i < 100 && !gone; ++i) {
            gone = kill(ffmpeg, 0) != 0;
            if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(gone) << "ffmpeg outlived the run";
        if (!gone) kill(ffmpeg, SIGKILL);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, VideoInterrupt,
                         ::testing::Values(Stop{"CtrlC", {SIGINT}, false}, Stop{"TwoQuickCtrlC", {SIGINT, SIGINT}, false},
                                           Stop{"TermWhileFfmpegNeverEnds", {SIGTERM}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jolp::testing
