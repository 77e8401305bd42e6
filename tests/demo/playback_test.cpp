// The whole demo as a viewer gets it: the real tarvel binary captures short
// spans of the generated content headlessly, at small sizes and low frame
// rates, and the pictures are checked: shots rise from black, the bars stay
// black, the particles show where their dummies are and only in their
// spans, a capture that starts late matches one from the start, the middle
// of every shot is the picture kept in tests/demo/references, and the run
// ends with the music.
#include "render/render_system.h"
#include "scene/jolp3d.h"
#include "tests/demo/cut_table.h"
#include "tests/demo/data_folder.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace jolp::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTarvel = TARVEL_BINARY;
const fs::path kRunDir = fs::path(TARVEL_BINARY).parent_path();

using tarvel::testing::Cut;
using tarvel::testing::kCutTable;

const Cut& ShotAt(uint32_t ms) {
    for (const Cut& s : kCutTable) {
        if (ms >= s.start && ms < s.end) return s;
    }
    return kCutTable[19];
}

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

Image LoadPng(const fs::path& path) {
    Image image;
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &image.width, &image.height, &channels, 3);
    if (data == nullptr) {
        ADD_FAILURE() << path << ": " << stbi_failure_reason();
        return image;
    }
    image.rgb.assign(data, data + static_cast<size_t>(image.width) * image.height * 3);
    stbi_image_free(data);
    return image;
}

std::string Seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", ms / 1000, ms % 1000);
    return text;
}

// Captures [fromMs, toMs) of data at fps frames a second and size.
void Capture(const fs::path& data, const fs::path& out, const std::string& size, const std::string& fps,
             uint32_t fromMs, uint32_t toMs) {
    const ProcessResult r = RunProcess(kTarvel,
                                       {"--data", data.string(), "--capture", out.string(), "--size", size, "--fps",
                                        fps, "--from", Seconds(fromMs), "--to", Seconds(toMs)},
                                       {}, 300.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

// The picture rectangle of a 320 x 240 back buffer: 16:9, bars above and
// below.
constexpr int kTop = 30, kBottom = 210;

struct Levels {
    int barMax = 0;      // brightest channel in the bars
    int pictureMax = 0;  // brightest channel in the picture
    double pictureMean = 0.0;   // 0 black to 1 white
    double whiteShare = 0.0;    // of the picture at full white (all channels 250 or more)
};

Levels Measure(const Image& image) {
    Levels levels;
    double sum = 0.0;
    long white = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            const int high = std::max({p[0], p[1], p[2]});
            if (y < kTop || y >= kBottom) {
                levels.barMax = std::max(levels.barMax, high);
            } else {
                levels.pictureMax = std::max(levels.pictureMax, high);
                sum += (p[0] + p[1] + p[2]) / (3.0 * 255.0);
                if (std::min({p[0], p[1], p[2]}) >= 250) ++white;
            }
        }
    }
    const double pixels = image.width * (kBottom - kTop);
    levels.pictureMean = sum / pixels;
    levels.whiteShare = white / pixels;
    return levels;
}

// At dusk a shot still needs a lit subject: its middle is no darker than
// this on average, and no more of it than this burns out to white (the
// particles add up where they crowd).
constexpr double kLeastMiddleMean = 0.12, kMostWhite = 0.02;

TEST(PlaybackTest, EveryShotRisesFromBlackIsLitInItsMiddleAndTheBarsStayBlack) {
    TempDir dir;
    for (const Cut& shot : kCutTable) {
        // At 10 frames a second every cut and every middle (all on 100 ms)
        // is a frame of its own.
        const uint32_t middle = (shot.start + shot.end) / 2 / 100 * 100;
        for (uint32_t ms : {shot.start, middle}) {
            const fs::path out = dir.Path() / (std::string(shot.camera) + "_" + std::to_string(ms));
            ASSERT_NO_FATAL_FAILURE(Capture(kRunDir, out, "320x240", "10", ms, ms + 100));
            const Image image = LoadPng(out / FrameName(ms / 100));
            ASSERT_EQ(image.width, 320);
            const Levels levels = Measure(image);
            EXPECT_EQ(levels.barMax, 0) << shot.camera << " at " << ms << " ms: the bars are not black";
            if (ms == shot.start) {
                EXPECT_EQ(levels.pictureMax, 0) << shot.camera << ": its first frame is not black";
            } else {
                EXPECT_GE(levels.pictureMean, kLeastMiddleMean) << shot.camera << " at " << ms << " ms is too dark";
                EXPECT_GT(levels.pictureMax, 60) << shot.camera << " at " << ms << " ms is too dark";
                EXPECT_LE(levels.whiteShare, kMostWhite) << shot.camera << " at " << ms << " ms burns out to white";
            }
        }
    }
}

// Where the particles crowd, they must not add up to a white blot: a frame
// every second through both particle spans, at 30 frames a second so that
// the particles have the demo's own history.
TEST(PlaybackTest, TheParticleSpansNeverBurnOutToWhite) {
    TempDir dir;
    std::vector<uint32_t> seconds;
    for (uint32_t s = 85; s < 120; ++s) seconds.push_back(s);
    for (uint32_t s = 145; s < 176; ++s) seconds.push_back(s);
    for (uint32_t s : seconds) {
        const fs::path out = dir.Path() / std::to_string(s);
        ASSERT_NO_FATAL_FAILURE(Capture(kRunDir, out, "320x240", "30", s * 1000, s * 1000 + 30));
        const Levels levels = Measure(LoadPng(out / FrameName(s * 30)));
        EXPECT_LE(levels.whiteShare, kMostWhite) << "at " << s << " s";
    }
}

// A data folder that is the generated one with every particle image
// replaced by a black one: additive particles then add nothing, so a
// picture's difference from the real one is exactly what the particles drew.
void MakeBlackParticleData(const fs::path& data) {
    ASSERT_NO_FATAL_FAILURE(LinkDataFolder(kRunDir, data, {"media/particles"}));
    fs::create_directories(data / "media/particles");
    const std::vector<uint8_t> black(16 * 16 * 3, 0);
    for (const auto& entry : fs::directory_iterator(kRunDir / "media/particles")) {
        const fs::path target = data / "media/particles" / entry.path().filename();
        const int ok = entry.path().extension() == ".png"
                           ? stbi_write_png(target.c_str(), 16, 16, 3, black.data(), 48)
                           : stbi_write_jpg(target.c_str(), 16, 16, 3, black.data(), 95);
        ASSERT_NE(ok, 0) << target;
    }
}

// Where a world point lands in the 320 x 240 back buffer seen through
// camera; false when it is behind the camera or outside the picture.
bool Project(const CameraView& camera, const Vec3& point, float& x, float& y) {
    const Matrix m = MatrixMultiply(jolp::CameraViewMatrix(camera), jolp::CameraProjectionMatrix(camera));
    float clip[4];
    for (int c = 0; c < 4; ++c) {
        clip[c] = point.x * m.m[0][c] + point.y * m.m[1][c] + point.z * m.m[2][c] + m.m[3][c];
    }
    if (clip[3] <= 0.0f) return false;
    x = (clip[0] / clip[3] * 0.5f + 0.5f) * 320.0f;
    y = kTop + (0.5f - clip[1] / clip[3] * 0.5f) * 180.0f;
    return x >= 8.0f && x < 312.0f && y >= kTop + 8.0f && y < kBottom - 8.0f;
}

// Sum of the absolute channel differences inside a square around (x, y).
long DifferenceNear(const Image& a, const Image& b, float x, float y, int half) {
    long sum = 0;
    for (int py = static_cast<int>(y) - half; py <= static_cast<int>(y) + half; ++py) {
        for (int px = static_cast<int>(x) - half; px <= static_cast<int>(x) + half; ++px) {
            if (px < 0 || py < 0 || px >= a.width || py >= a.height) continue;
            for (int c = 0; c < 3; ++c) sum += std::abs(a.At(px, py)[c] - b.At(px, py)[c]);
        }
    }
    return sum;
}

long Difference(const Image& a, const Image& b) { return DifferenceNear(a, b, a.width / 2, a.height / 2, a.width); }

TEST(PlaybackTest, TheParticlesShowAtTheirDummiesInTheirSpansAndNowhereElse) {
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(MakeBlackParticleData(dir.Path() / "black"));
    JOLP3D scene;
    ASSERT_TRUE(scene.Load((kRunDir / kScenePath).string(), nullptr));

    struct Moment {
        uint32_t ms;
        std::vector<const char*> dummies;  // empty: no particles at all
    };
    const std::vector<Moment> moments = {
        {84900, {}},
        {88000, {"Dummy01", "Dummy02", "Dummy03", "Dummy04"}},
        {92000, {"Dummy01", "Dummy02", "Dummy03", "Dummy04"}},
        {110000, {"Dummy01", "Dummy02", "Dummy03", "Dummy04"}},
        {120000, {}},
        {125000, {}},
        {150000, {"wind_dummy", "fire_dummy"}},
        {165000, {"wind_dummy", "fire_dummy"}},
        {176200, {}},
        {180000, {}},
    };
    for (const Moment& moment : moments) {
        // 30 frames a second, so that the particles have the demo's own
        // history; frame N is at N x 100 / 3 ms.
        const uint64_t frame = moment.ms * 3 / 100;
        const std::string name = std::to_string(moment.ms);
        ASSERT_NO_FATAL_FAILURE(
            Capture(kRunDir, dir.Path() / ("real_" + name), "320x240", "30", moment.ms, moment.ms + 30));
        ASSERT_NO_FATAL_FAILURE(
            Capture(dir.Path() / "black", dir.Path() / ("black_" + name), "320x240", "30", moment.ms, moment.ms + 30));
        const Image real = LoadPng(dir.Path() / ("real_" + name) / FrameName(frame));
        const Image black = LoadPng(dir.Path() / ("black_" + name) / FrameName(frame));
        ASSERT_EQ(real.rgb.size(), black.rgb.size());
        if (moment.dummies.empty()) {
            EXPECT_EQ(Difference(real, black), 0) << "particles drawn at " << moment.ms << " ms";
            continue;
        }
        EXPECT_GT(Difference(real, black), 0) << "no particles at " << moment.ms << " ms";

        // The picture's camera, and the emitters where the dummies were a
        // frame before.
        const float t = static_cast<float>(moment.ms) / 1000.0f;
        const CameraView camera = scene.EvaluateCamera(ShotAt(moment.ms).camera, t, 16.0f / 9.0f, 1.0f, 5000.0f);
        scene.Animate(Matrix(), t - 1.0f / 30.0f);
        int inView = 0;
        for (const char* dummyName : moment.dummies) {
            const SceneDummy* dummy = scene.FindDummy(dummyName);
            ASSERT_NE(dummy, nullptr) << dummyName;
            float x = 0.0f, y = 0.0f;
            if (!Project(camera, dummy->transform.position, x, y)) continue;
            ++inView;
            EXPECT_GT(DifferenceNear(real, black, x, y, 4), 9 * 3 * 4)
                << dummyName << " at " << moment.ms << " ms: nothing drawn around (" << x << ", " << y << ")";
        }
        EXPECT_GT(inView, 0) << "no emitter in view at " << moment.ms << " ms; choose another moment";
    }
}

TEST(PlaybackTest, AFrameCapturedFromLaterMatchesTheSameFrameOfACaptureFromTheStart) {
    TempDir dir;
    // One frame a second up to 86.5 s, the last ones with the swarm in
    // them; then only from 86 s on. The particles' history is the same in
    // both: skipped frames run everything but the drawing.
    ASSERT_NO_FATAL_FAILURE(Capture(kRunDir, dir.Path() / "whole", "160x90", "1", 0, 86500));
    ASSERT_NO_FATAL_FAILURE(Capture(kRunDir, dir.Path() / "late", "160x90", "1", 86000, 86500));
    const Image whole = LoadPng(dir.Path() / "whole" / FrameName(86));
    const Image late = LoadPng(dir.Path() / "late" / FrameName(86));
    ASSERT_EQ(whole.width, 160);
    EXPECT_TRUE(whole.rgb == late.rgb) << "frame 86 differs by " << Difference(whole, late);
    EXPECT_FALSE(fs::exists(dir.Path() / "late" / FrameName(85)));
}

// The picture kept for each shot: its middle, on the 30 fps grid, at
// 320 x 180. Renewed on purpose only, by scripts/renew_references.sh (which
// runs this test with TARVEL_RENEW_REFERENCES=1): a change of the pictures
// must be a decision, never a side effect.
const fs::path kReferenceDir = fs::path(TARVEL_SOURCE_DIR) / "tests/demo/references";

// The first frame of the 30 fps grid at or after the given fraction of the
// shot.
uint32_t MomentOnTheGrid(const Cut& shot, uint32_t quarters) {
    const uint32_t moment = shot.start + (shot.end - shot.start) * quarters / 4;
    const uint32_t frame = (moment * 30 + 999) / 1000;
    return frame * 1000 / 30;
}

uint32_t MiddleOnTheGrid(const Cut& shot) { return MomentOnTheGrid(shot, 2); }

// Forty moments, two in every shot (its middle, and three quarters in,
// where the lights and particles stand elsewhere), each the picture a
// viewer saw there: a change to the renderer that is meant to leave the
// pictures alone must leave these alone.
TEST(PlaybackTest, EveryShotAtItsMiddleAndThreeQuartersInIsTheReferencePicture) {
    TempDir dir;
    const bool renew = std::getenv("TARVEL_RENEW_REFERENCES") != nullptr;
    constexpr size_t kShots = std::size(kCutTable);
    constexpr size_t kMoments = 2 * kShots;
    auto momentOf = [](size_t k) { return MomentOnTheGrid(kCutTable[k / 2], k % 2 ? 3 : 2); };
    // Two captures at a time: each replays the timeline up to its moment.
    std::vector<std::thread> workers;
    for (size_t first = 0; first < 2; ++first) {
        workers.emplace_back([&, first] {
            for (size_t k = first; k < kMoments; k += 2) {
                const uint32_t ms = momentOf(k);
                Capture(kRunDir, dir.Path() / ("moment" + std::to_string(k)), "320x180", "30", ms, ms + 1);
            }
        });
    }
    for (std::thread& w : workers) w.join();
    if (::testing::Test::HasFatalFailure()) return;

    for (size_t k = 0; k < kMoments; ++k) {
        const size_t i = k / 2;
        const Cut& shot = kCutTable[i];
        const uint32_t ms = momentOf(k);
        SCOPED_TRACE(std::string(shot.camera) + " at " + Seconds(ms) + " s");
        const fs::path folder = dir.Path() / ("moment" + std::to_string(k));
        std::vector<fs::path> frames;
        for (const auto& entry : fs::directory_iterator(folder)) frames.push_back(entry.path());
        ASSERT_EQ(frames.size(), 1u);
        char name[48];
        std::snprintf(name, sizeof name, "shot%02zu_%s.png", i + 1, Seconds(ms).c_str());
        const fs::path reference = kReferenceDir / name;
        if (renew) {
            fs::create_directories(kReferenceDir);
            fs::copy_file(frames[0], reference, fs::copy_options::overwrite_existing);
            continue;
        }
        ASSERT_TRUE(fs::exists(reference)) << reference << " is missing: run scripts/renew_references.sh";
        const Image got = LoadPng(frames[0]);
        const Image want = LoadPng(reference);
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        // One build draws the same picture in every run; a handful of
        // pixels may differ by a few steps on another processor (llvmpipe
        // compiles for the one it runs on). Anything more is a different
        // picture.
        size_t differing = 0;
        int largest = 0;
        for (size_t k = 0; k < got.rgb.size(); k += 3) {
            int d = 0;
            for (size_t c = 0; c < 3; ++c) d = std::max(d, std::abs(int(got.rgb[k + c]) - int(want.rgb[k + c])));
            if (d > 0) ++differing;
            largest = std::max(largest, d);
        }
        EXPECT_LE(differing, 16u) << "pixels differ from " << reference << " (largest difference " << largest << ")";
    }
    if (renew) GTEST_SKIP() << "references renewed in " << kReferenceDir;
}

TEST(PlaybackTest, TheRunEndsWithTheMusic) {
    TempDir dir;
    const ProcessResult r = RunProcess(
        kTarvel, {"--capture", (dir.Path() / "end").string(), "--size", "64x36", "--fps", "10", "--from", "204.5"}, {},
        120.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "end")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    // The music is 205.0 s long: the last frame at 10 frames a second is
    // the one at 204.9 s.
    EXPECT_EQ(names, (std::vector<std::string>{FrameName(2045), FrameName(2046), FrameName(2047), FrameName(2048),
                                               FrameName(2049)}));
}

}  // namespace
}  // namespace jolp::testing
