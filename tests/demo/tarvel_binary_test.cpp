// The real tarvel binary as users run it: command line, headless capture,
// refusals and their exit codes.
#include "platform/letterbox.h"
#include "tests/support/small_disk.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace jolp::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kTarvel = TARVEL_BINARY;
const std::string kJolpOgg = JOLP_OGG_BINARY;

// A data folder with the built effect files and, unless seconds is empty,
// media/music.ogg of that length.
void MakeDataFolder(const TempDir& dir, const std::string& seconds) {
    fs::create_directories(dir.Path() / "data" / "media");
    fs::copy(fs::path(kTarvel).parent_path() / "shaders", dir.Path() / "data" / "shaders", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    if (seconds.empty()) return;
    const ProcessResult tone = RunProcess(kJolpOgg, {"--tone", seconds, dir / "data/media/music.ogg"});
    ASSERT_EQ(tone.exitCode, 0) << tone.err;
}

ProcessResult Tarvel(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    return RunProcess(kTarvel, args, env, 120.0);
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Width and height from a PNG's IHDR chunk; 0, 0 when it is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!in || !std::equal(signature, signature + 8, header) || std::string(header + 12, header + 16) != "IHDR") {
        return {0, 0};
    }
    auto be32 = [&](int at) {
        return (uint32_t{header[at]} << 24) | (uint32_t{header[at + 1]} << 16) | (uint32_t{header[at + 2]} << 8) |
               header[at + 3];
    };
    return {be32(16), be32(20)};
}

size_t LineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(TarvelBinaryTest, HelpAndVersion) {
    const ProcessResult help = Tarvel({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("--capture DIR"));
    EXPECT_THAT(help.out, HasSubstr("--windowed"));
    const ProcessResult version = Tarvel({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, HasSubstr("tarvel "));

    // Into /dev/full every write fails, as on a full disk: that is no success.
    for (const char* option : {"--help", "--version"}) {
        const ProcessResult full = RunProcess("/bin/sh", {"-c", "exec \"$0\" \"$1\" >/dev/full", kTarvel, option});
        EXPECT_EQ(full.exitCode, 1) << option;
        EXPECT_EQ(full.err, "tarvel: cannot write standard output (No space left on device)\n") << option;
    }
}

TEST(TarvelBinaryTest, BadCommandLinesGetOneLineNamingTheProblemAndExitTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "--bogus"},
        {{"--size", "0x0"}, "--size"},
        {{"--size"}, "--size"},
        {{"--capture", "x", "--fps", "0"}, "--fps"},
        {{"--capture", "x", "--from", "5", "--to", "2"}, "--to"},
        {{"--from", "1"}, "--capture"},
        {{"--data", "/no/such/folder"}, "/no/such/folder"},
        // Sizes whose 16:9 picture would be under 16 pixels on a side, or
        // whose frame would not fit the memory budget.
        {{"--size", "1x1"}, "0 x 0 pixels"},
        {{"--size", "3x2"}, "--size"},
        {{"--size", "16x1"}, "--size"},
        {{"--size", "1x16384"}, "--size"},
        {{"--size", "16384x1"}, "--size"},
        {{"--size", "16384x16384"}, "268.4 million pixels"},
        // Videos of a kind that cannot be written, refused before start-up.
        {{"--video", "out.avi"}, "unknown video type \".avi\""},
        {{"--video", "out.mov"}, ".mov"},
        {{"--video", "out"}, "no video type"},
        {{"--video", "/tmp"}, "is a folder"},
    };
    for (const auto& [args, named] : cases) {
        const ProcessResult r = Tarvel(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_THAT(r.err, HasSubstr(named)) << args[0];
        EXPECT_EQ(LineCount(r.err), 1u) << r.err;
    }
}

TEST(TarvelBinaryTest, CaptureWritesOneFilePerFrameOfTheMusic) {
    TempDir dir;
    MakeDataFolder(dir, "1.0");
    const ProcessResult r = Tarvel({"--data", dir / "data", "--capture", dir / "frames", "--fps", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) expected.push_back("frame_00000" + std::to_string(i) + ".png");
    EXPECT_EQ(Listing(dir.Path() / "frames"), expected);
    EXPECT_EQ(PngSize(dir.Path() / "frames" / "frame_000000.png"), (std::pair<uint32_t, uint32_t>{640, 480}));
    EXPECT_EQ(PngSize(dir.Path() / "frames" / "frame_000009.png"), (std::pair<uint32_t, uint32_t>{640, 480}));
}

TEST(TarvelBinaryTest, CaptureHonoursSizeAndSpan) {
    TempDir dir;
    MakeDataFolder(dir, "2.0");
    // A relative capture folder is relative to where tarvel was started,
    // not to the data folder.
    const ProcessResult r = RunProcess(
        "/bin/sh",
        {"-c", "cd '" + dir.Path().string() + "' && exec '" + kTarvel +
                   "' --data data --capture frames --size 320x200 --fps 30000/1001 --from 0.5 --to 1"},
        {}, 120.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // At 29.97 frames/s frame N is at floor(N * 1001 / 30) ms: frames 15
    // (500 ms) to 29 (967 ms) lie in [0.5 s, 1 s).
    const std::vector<std::string> names = Listing(dir.Path() / "frames");
    ASSERT_EQ(names.size(), 15u);
    EXPECT_EQ(names.front(), "frame_000015.png");
    EXPECT_EQ(names.back(), "frame_000029.png");
    EXPECT_EQ(PngSize(dir.Path() / "frames" / names.front()), (std::pair<uint32_t, uint32_t>{320, 200}));
}

TEST(TarvelBinaryTest, AWideBackBufferGetsBlackBarsLeftAndRightOfThePicture) {
    TempDir dir;
    MakeDataFolder(dir, "");
    const ProcessResult r =
        Tarvel({"--data", dir / "data", "--capture", dir / "frames", "--size", "1000x400", "--from", "2", "--to", "2.1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Rect picture = Letterbox(16, 9, Rect{0, 0, 1000, 400});
    ASSERT_EQ(picture, (Rect{145, 0, 855, 400}));

    int width = 0, height = 0, channels = 0;
    stbi_uc* rgb = stbi_load((dir / "frames/frame_000060.png").c_str(), &width, &height, &channels, 3);
    ASSERT_NE(rgb, nullptr) << stbi_failure_reason();
    ASSERT_EQ(width, 1000);
    ASSERT_EQ(height, 400);
    // With no scene the picture is the renderer's white clear, tone mapped
    // (2 s into the first shot, fully faded in); the bars are the back
    // buffer's black.
    int litBarPixels = 0, blackPicturePixels = 0, pictureMin = 255;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const stbi_uc* p = rgb + (static_cast<size_t>(y) * width + x) * 3;
            const int low = std::min({p[0], p[1], p[2]});
            const bool black = std::max({p[0], p[1], p[2]}) == 0;
            if (x < picture.left || x >= picture.right) {
                litBarPixels += black ? 0 : 1;
            } else {
                blackPicturePixels += black ? 1 : 0;
                pictureMin = std::min(pictureMin, low);
            }
        }
    }
    stbi_image_free(rgb);
    EXPECT_EQ(litBarPixels, 0) << "the bars left and right are not black";
    EXPECT_EQ(blackPicturePixels, 0) << "the picture does not fill columns 145 to 854";
    EXPECT_GT(pictureMin, 200) << "the picture is not the white clear";
}

TEST(TarvelBinaryTest, AnEffectThatIsMissingOrDoesNotCompileEndsStartUpNamingFileAndLine) {
    TempDir dir;
    MakeDataFolder(dir, "0.5");
    fs::remove(dir.Path() / "data/shaders/additive.fx");
    const ProcessResult missing = Tarvel({"--data", dir / "data", "--capture", dir / "frames"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("ERROR: Failed to initialize the renderer."));
    EXPECT_THAT(missing.err, HasSubstr("shaders/additive.fx: cannot open (No such file or directory)"));

    // A typo on line 3 of an included file is reported on that line of that
    // file, with the compiler's own words.
    MakeDataFolder(dir, "");
    const fs::path common = dir.Path() / "data/shaders/common.glsl";
    std::ifstream in(common);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const size_t line3 = text.find('\n', text.find('\n') + 1) + 1;
    text.insert(line3, "uniform vec4 broken = undeclaredThing;\n");
    std::ofstream(common) << text;
    const ProcessResult broken = Tarvel({"--data", dir / "data", "--capture", dir / "frames"});
    EXPECT_EQ(broken.exitCode, 1);
    // master.fx includes nothing and loads; the first effect built on the
    // file is refused.
    EXPECT_THAT(broken.err, HasSubstr("shaders/lambertblinn.fx"));
    EXPECT_THAT(broken.err, HasSubstr("shaders/common.glsl:3"));
    EXPECT_THAT(broken.err, HasSubstr("undeclaredThing"));
    EXPECT_FALSE(fs::exists(dir.Path() / "frames/frame_000000.png"));
}

TEST(TarvelBinaryTest, CaptureWithoutMusicNeedsAnEnd) {
    TempDir dir;
    MakeDataFolder(dir, "");
    const ProcessResult refused = Tarvel({"--data", dir / "data", "--capture", dir / "frames"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("--to"));
    const ProcessResult bounded = Tarvel({"--data", dir / "data", "--capture", dir / "frames", "--to", "0.2"});
    EXPECT_EQ(bounded.exitCode, 0) << bounded.err;
    EXPECT_EQ(Listing(dir.Path() / "frames").size(), 6u);
}

TEST(TarvelBinaryTest, AnUnwritableCaptureFolderIsRefused) {
    TempDir dir;
    MakeDataFolder(dir, "0.5");
    {
        std::ofstream(dir / "file") << "x";
    }
    const ProcessResult r = Tarvel({"--data", dir / "data", "--capture", dir / "file/frames"});
    EXPECT_EQ(r.exitCode, 1);
    // The reason creating it failed, in the system's words.
    EXPECT_THAT(r.err, HasSubstr("file/frames: cannot create the capture folder (Not a directory)"));
}

// The pages a file takes on a tmpfs.
size_t Pages(const fs::path& file) { return (fs::file_size(file) + 4095) / 4096; }

// A full disk: a tmpfs just too small for the frame asked for, so that its
// writes fail with ENOSPC as on a disk that filled up mid-capture.
TEST(TarvelBinaryTest, AFrameThatCannotBeWrittenEndsTheCaptureNamingItAndTheReason) {
    TempDir dir;
    MakeDataFolder(dir, "1.0");
    const std::vector<std::string> capture = {"--data", dir / "data", "--fps", "10", "--size", "320x180"};
    auto into = [&](const std::string& folder) {
        std::vector<std::string> args = capture;
        args.insert(args.end(), {"--capture", folder});
        return Tarvel(args);
    };
    // The same frames on a disk with room: their sizes say how small the
    // full disks must be.
    const ProcessResult whole = into(dir / "whole");
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    ASSERT_EQ(Listing(dir / "whole").size(), 10u);
    auto pagesBefore = [&](int frame) {
        size_t pages = 0;
        for (int i = 0; i < frame; ++i) pages += Pages(dir / ("whole/frame_00000" + std::to_string(i) + ".png"));
        return pages;
    };
    auto frame = [](int i) { return "frame_00000" + std::to_string(i) + ".png"; };
    for (const int failing : {3, 9}) {
        SCOPED_TRACE("frame " + std::to_string(failing));
        SmallDisk disk((pagesBefore(failing) + Pages(dir / ("whole/" + frame(failing))) - 1) * 4096);
        if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
        const ProcessResult r = into(disk / "frames");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_THAT(r.err, HasSubstr("frame " + std::to_string(failing) + ": " + (disk / ("frames/" + frame(failing))) +
                                     ": cannot be written (No space left on device)"));
        // The frames before it stay, whole; the one that failed is gone, and
        // nothing after it was written. The last frame is written while
        // nothing is drawn any more: its failure still ends the run with
        // exit 1, and no "done".
        std::vector<std::string> expected;
        for (int i = 0; i < failing; ++i) expected.push_back(frame(i));
        EXPECT_EQ(Listing(disk / "frames"), expected);
        EXPECT_EQ(PngSize(disk / ("frames/" + frame(failing - 1))), (std::pair<uint32_t, uint32_t>{320, 180}));
        EXPECT_THAT(r.err, Not(HasSubstr("done")));
    }
}

// What others may leave in a capture folder: a link named like a frame, to
// a file of someone else's; a file under the name the folder's write test
// once used. None is written through, emptied or removed.
TEST(TarvelBinaryTest, ALinkInTheCaptureFolderIsRefusedAndItsTargetKept) {
    TempDir dir;
    MakeDataFolder(dir, "1.0");
    fs::create_directories(dir / "frames");
    {
        std::ofstream(dir / "private") << "root's own";
        std::ofstream(dir / "frames/.frame-write-test") << "mine";
    }
    fs::permissions(dir / "private", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir / "private", dir / "frames/frame_000002.png");
    const ProcessResult r = Tarvel({"--data", dir / "data", "--capture", dir / "frames", "--fps", "10", "--to", "0.5",
                                    "--size", "320x180"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("frame 2: " + (dir / "frames/frame_000002.png") +
                                 ": is a link; outputs are never written through a link"));
    std::ifstream in(dir / "private");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "root's own");
    EXPECT_EQ(Listing(dir / "frames"),
              (std::vector<std::string>{".frame-write-test", "frame_000000.png", "frame_000001.png", "frame_000002.png"}));
    EXPECT_EQ(fs::file_size(dir / "frames/.frame-write-test"), 4u);
}

// A limit on the size of a file (ulimit -f) makes the write fail with the
// system's reason: no death by SIGXFSZ, no cut frame left behind.
TEST(TarvelBinaryTest, AFileSizeLimitEndsTheCaptureWithTheReason) {
    TempDir dir;
    MakeDataFolder(dir, "1.0");
    const ProcessResult r = RunProcess(
        "/bin/sh",
        {"-c", "ulimit -f 1 && exec \"$0\" --data \"$1\" --capture \"$2\" --fps 10 --to 0.3 --size 1280x720", kTarvel,
         dir / "data", dir / "frames"},
        {}, 120.0);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.signal, 0);
    EXPECT_THAT(r.err, HasSubstr("frame 0: " + (dir / "frames/frame_000000.png") + ": cannot be written (File too large)"));
    EXPECT_TRUE(Listing(dir / "frames").empty());
}

TEST(TarvelBinaryTest, ADeviceBelowTheRequiredLevelIsRefusedWithTheMessage) {
    TempDir dir;
    MakeDataFolder(dir, "0.5");
    const ProcessResult r =
        Tarvel({"--data", dir / "data", "--capture", dir / "frames"}, {"MESA_GL_VERSION_OVERRIDE=3.0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Shader model no supported.\nDemo requires al least SM 3.0 to run."));
    EXPECT_FALSE(fs::exists(dir.Path() / "frames"));
}

TEST(TarvelBinaryTest, WithoutADisplayTheWindowedDemoSaysSoAndExitsOne) {
    TempDir dir;
    MakeDataFolder(dir, "0.5");
    const ProcessResult r = Tarvel({"--data", dir / "data", "--windowed"}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Failed to initialize Direct3D 9.\ndemo will no run."));
    EXPECT_THAT(r.err, Not(HasSubstr("Segmentation")));
    // The reason is the first line of ours, before the box's words.
    EXPECT_EQ(r.err.find("tarvel: "), r.err.find("tarvel: no display to show the demo on")) << r.err;
    EXPECT_LT(r.err.find("no display to show"), r.err.find("Failed to initialize"));
}

}  // namespace
}  // namespace jolp::testing
