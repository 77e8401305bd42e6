// The real tarvel binary over the generated data with one file or folder
// taken away or spoiled, for every piece of content the demo reads: the
// whole demo is captured at a tiny size and a low rate, and each run must
// end by itself without a signal, in one of two ways. Content the demo can
// do without: it plays to its end, writes every frame and says on stderr
// which file it went on without. Content it cannot draw without (the
// effect files and what they include): start-up ends with exit status 1, a
// message naming the file, and no frame.
#include "tests/demo/data_folder.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

namespace jolp::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTarvel = TARVEL_BINARY;
const fs::path kRunDir = fs::path(TARVEL_BINARY).parent_path();

// One drawn frame every 4 s over the music's 205 s: frames 0 to 51. --to
// gives the length when the music is what is missing.
const std::vector<std::string> kWholeDemo = {"--size", "64x36", "--fps", "1/4", "--to", "205"};
constexpr uint64_t kFrames = 52;
// A run takes a few seconds here; two at a time on a busy machine, far less
// than this. Past it the run is taken to hang.
constexpr double kTimeLimitSeconds = 120.0;
constexpr unsigned kRunsAtOnce = 2;

enum class Change {
    Remove,
    Garbage,     // the same name, pseudo-random bytes
    Truncate,    // the first half of the file
    SyntaxError,  // a line of text that is not GLSL, in the first code line
    NoFirstPass   // the first @pass block deleted
};

enum class Outcome {
    PlaysOn,       // exit 0, every frame, a warning naming the file
    StopsAtStart,  // exit 1, no frame, a message naming the file
};

struct Row {
    const char* path;  // relative to the data folder
    Change change;
    Outcome outcome;
    const char* named;  // what the message must contain
};

const Row kRows[] = {
    // The named textures beside the executable.
    {"LightCube.dds", Change::Remove, Outcome::PlaysOn, "LightCube.dds: cannot read"},
    {"sunol_cubemap.dds", Change::Remove, Outcome::PlaysOn, "sunol_cubemap.dds: cannot read"},
    {"powerBall.jpg", Change::Remove, Outcome::PlaysOn, "powerBall.jpg: cannot read"},
    {"texture1_d.tga", Change::Remove, Outcome::PlaysOn, "texture1_d.tga: cannot read"},
    {"four_NM_height.dds", Change::Remove, Outcome::PlaysOn, "four_NM_height.dds: cannot read"},
    {"texture1_s.tga", Change::Remove, Outcome::PlaysOn, "texture1_s.tga: cannot read"},
    // The texture folders.
    {"media/texs", Change::Remove, Outcome::PlaysOn, "media/texs: the texture folder cannot be read"},
    {"media/cubes", Change::Remove, Outcome::PlaysOn, "media/cubes: the texture folder cannot be read"},
    // The scene.
    {"media/scenes/scene.JOLP3D", Change::Remove, Outcome::PlaysOn, "media/scenes/scene.JOLP3D: cannot read"},
    // The particle images.
    {"media/particles/red_particle.jpg", Change::Remove, Outcome::PlaysOn, "media/particles/red_particle.jpg"},
    {"media/particles/yellow_particle.jpg", Change::Remove, Outcome::PlaysOn, "media/particles/yellow_particle.jpg"},
    {"media/particles/green_particle.jpg", Change::Remove, Outcome::PlaysOn, "media/particles/green_particle.jpg"},
    {"media/particles/blue_particle.jpg", Change::Remove, Outcome::PlaysOn, "media/particles/blue_particle.jpg"},
    {"media/particles/wind_particle.jpg", Change::Remove, Outcome::PlaysOn, "media/particles/wind_particle.jpg"},
    {"media/particles/fire_particle.png", Change::Remove, Outcome::PlaysOn, "media/particles/fire_particle.png"},
    // The lights' cube and the music.
    {"lightCube.dds", Change::Remove, Outcome::PlaysOn, "lightCube.dds: cannot read"},
    {"media/music.ogg", Change::Remove, Outcome::PlaysOn, "media/music.ogg could not be opened"},
    // The effects and what they include.
    {"shaders/master.fx", Change::Remove, Outcome::StopsAtStart, "shaders/master.fx: cannot open"},
    {"shaders/lambertblinn.fx", Change::Remove, Outcome::StopsAtStart, "shaders/lambertblinn.fx: cannot open"},
    {"shaders/parallaxedlambertblinn.fx", Change::Remove, Outcome::StopsAtStart,
     "shaders/parallaxedlambertblinn.fx: cannot open"},
    {"shaders/additive.fx", Change::Remove, Outcome::StopsAtStart, "shaders/additive.fx: cannot open"},
    {"shaders/cubicwater.fx", Change::Remove, Outcome::StopsAtStart, "shaders/cubicwater.fx: cannot open"},
    {"shaders/common.glsl", Change::Remove, Outcome::StopsAtStart, "cannot open include \"common.glsl\""},
    {"shaders/surface_vertex.glsl", Change::Remove, Outcome::StopsAtStart,
     "cannot open include \"surface_vertex.glsl\""},
    {"shaders/shadow_depth.glsl", Change::Remove, Outcome::StopsAtStart, "cannot open include \"shadow_depth.glsl\""},
    {"shaders/surface_lighting.glsl", Change::Remove, Outcome::StopsAtStart,
     "cannot open include \"surface_lighting.glsl\""},

    // Spoiled rather than missing.
    {"powerBall.jpg", Change::Garbage, Outcome::PlaysOn, "powerBall.jpg: not an image"},
    {"sunol_cubemap.dds", Change::Truncate, Outcome::PlaysOn, "sunol_cubemap.dds"},
    {"media/particles/fire_particle.png", Change::Truncate, Outcome::PlaysOn, "media/particles/fire_particle.png"},
    {"media/scenes/scene.JOLP3D", Change::Truncate, Outcome::PlaysOn, "media/scenes/scene.JOLP3D"},
    {"media/music.ogg", Change::Garbage, Outcome::PlaysOn, "media/music.ogg could not be opened"},
    {"shaders/additive.fx", Change::SyntaxError, Outcome::StopsAtStart, "shaders/additive.fx:"},
    {"shaders/common.glsl", Change::SyntaxError, Outcome::StopsAtStart, "common.glsl:"},
    {"shaders/master.fx", Change::NoFirstPass, Outcome::StopsAtStart, "shaders/master.fx: no pass \"composite\""},
};

std::string Describe(const Row& row) {
    static const char* const kChanges[] = {"removed", "garbage", "truncated", "with a syntax error",
                                              "without its first pass"};
    return std::string(row.path) + " " + kChanges[static_cast<int>(row.change)];
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// The data folder of one row: the generated one, linked, with the row's
// path taken out and, unless the row removes it, written anew. The effect
// files are copied, not linked: an effect may include only files that lie
// in its own folder, links out of it included.
void MakeData(const Row& row, const fs::path& data) {
    ASSERT_NO_FATAL_FAILURE(LinkDataFolder(kRunDir, data, {row.path}));
    if (fs::path(row.path).begin()->string() == "shaders") {
        for (const fs::directory_entry& entry : fs::directory_iterator(data / "shaders")) {
            if (!entry.is_symlink()) continue;
            const fs::path original = fs::read_symlink(entry.path());
            fs::remove(entry.path());
            fs::copy_file(original, entry.path());
        }
    }
    const fs::path original = kRunDir / row.path;
    const fs::path target = data / row.path;
    switch (row.change) {
        case Change::Remove:
            return;
        case Change::Garbage: {
            std::string bytes(8192, '\0');
            uint32_t state = 12345u;
            for (char& c : bytes) {
                state = state * 1664525u + 1013904223u;
                c = static_cast<char>(state >> 24);
            }
            return WriteAll(target, bytes);
        }
        case Change::Truncate: {
            const std::string bytes = ReadAll(original);
            ASSERT_GT(bytes.size(), 2u) << original;
            return WriteAll(target, bytes.substr(0, bytes.size() / 2));
        }
        case Change::SyntaxError: {
            std::string text = ReadAll(original);
            // The first line of code that is not a directive or a comment.
            size_t at = 0;
            while (at < text.size() && (text[at] == '@' || text.compare(at, 2, "//") == 0 || text[at] == '\n')) {
                at = text.find('\n', at);
                at = at == std::string::npos ? text.size() : at + 1;
            }
            ASSERT_LT(at, text.size()) << original << " has no code line";
            text.insert(at, "this is not GLSL;\n");
            return WriteAll(target, text);
        }
        case Change::NoFirstPass: {
            std::string text = ReadAll(original);
            const size_t at = text.find("\n@pass ");
            ASSERT_NE(at, std::string::npos) << original << " has no pass";
            const size_t end = text.find("\n@", at + 1);
            text.erase(at, end == std::string::npos ? std::string::npos : end - at);
            return WriteAll(target, text);
        }
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool HasLine(const std::string& text, const std::string& prefix, const std::string& part) {
    const std::vector<std::string> lines = Lines(text);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(prefix, 0) == 0 && line.find(part) != std::string::npos;
    });
}

std::vector<std::string> FramesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct RowRun {
    ProcessResult result;
    std::vector<std::string> frames;
};

TEST(MissingAssetTest, EveryMissingOrSpoiledFileEndsTheRunCleanlyAndIsNamed) {
    TempDir dir;
    const size_t count = std::size(kRows);
    for (size_t i = 0; i < count; ++i) {
        ASSERT_NO_FATAL_FAILURE(MakeData(kRows[i], dir.Path() / ("data" + std::to_string(i))))
            << Describe(kRows[i]);
    }

    // The runs, a few at a time; what they did is checked afterwards, here.
    std::vector<RowRun> runs(count);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < count; i = next++) {
            const fs::path frames = dir.Path() / ("frames" + std::to_string(i));
            std::vector<std::string> args = {"--data", (dir.Path() / ("data" + std::to_string(i))).string(),
                                             "--capture", frames.string()};
            args.insert(args.end(), kWholeDemo.begin(), kWholeDemo.end());
            runs[i].result = RunProcess(kTarvel, args, {}, kTimeLimitSeconds);
            runs[i].frames = FramesIn(frames);
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kRunsAtOnce; ++t) threads.emplace_back(work);
    for (std::thread& t : threads) t.join();

    std::vector<std::string> everyFrame;
    for (uint64_t f = 0; f < kFrames; ++f) everyFrame.push_back(FrameName(f));
    for (size_t i = 0; i < count; ++i) {
        const Row& row = kRows[i];
        const ProcessResult& r = runs[i].result;
        SCOPED_TRACE(Describe(row) + "; stderr:\n" + r.err);
        EXPECT_EQ(r.signal, 0) << "killed by a signal";
        // Files are named with the data folder as it was given, not by
        // their path inside it alone.
        const std::string folder = (dir.Path() / ("data" + std::to_string(i))).string() + "/";
        EXPECT_NE(r.err.find(folder), std::string::npos) << "no message names the file under " << folder;
        EXPECT_FALSE(r.timedOut) << "still running after " << kTimeLimitSeconds << " s";
        if (row.outcome == Outcome::PlaysOn) {
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_TRUE(runs[i].frames == everyFrame)
                << runs[i].frames.size() << " frames written, not the " << kFrames << " of the whole demo";
            EXPECT_TRUE(HasLine(r.err, "tarvel: warning: ", row.named)) << "no warning naming it";
        } else {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(runs[i].frames.empty()) << runs[i].frames.size() << " frames written";
            // The message starts on a line of its own and may go on with
            // the compiler's lines.
            const size_t message = r.err.find("tarvel: ");
            EXPECT_TRUE(message != std::string::npos && r.err.find(row.named, message) != std::string::npos)
                << "no message naming it";
        }
    }
}

TEST(MissingAssetTest, WithoutTheMusicACaptureNeedsAnEnd) {
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(LinkDataFolder(kRunDir, dir.Path() / "data", {"media/music.ogg"}));
    const ProcessResult r =
        RunProcess(kTarvel,
                   {"--data", (dir.Path() / "data").string(), "--capture", (dir.Path() / "frames").string(), "--size",
                    "64x36", "--fps", "1/4"},
                   {}, kTimeLimitSeconds);
    EXPECT_EQ(r.signal, 0);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(HasLine(r.err, "tarvel: " + (dir.Path() / "data/media/music.ogg").string(), "give --to")) << r.err;
    EXPECT_TRUE(FramesIn(dir.Path() / "frames").empty());
}

}  // namespace
}  // namespace jolp::testing
