// FileWatcher on a real folder: each kind of change an editor makes is
// reported once, after the folder went quiet, and nothing else is.
#include "runner/file_watcher.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace jolp {
namespace {

using namespace std::chrono_literals;

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class FileWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        Write(dir_ / "a.fx", "one");
        Write(dir_ / "b.glsl", "two");
    }

    std::unique_ptr<FileWatcher> Open(std::chrono::milliseconds quiet, std::vector<std::string> suffixes = {}) {
        std::string error;
        auto watcher = FileWatcher::Open(dir_.Path().string(), FileWatcher::Options{std::move(suffixes), quiet}, error);
        EXPECT_NE(watcher, nullptr) << error;
        return watcher;
    }

    // Polls as the frame loop does until a report comes (or a second went
    // by); the paths reported, by file name.
    static std::vector<std::string> NextReport(FileWatcher& watcher) {
        const auto until = std::chrono::steady_clock::now() + 1s;
        while (!watcher.Poll()) {
            if (std::chrono::steady_clock::now() > until) return {};
            std::this_thread::sleep_for(2ms);
        }
        std::vector<std::string> names;
        for (const std::string& path : watcher.Changed()) {
            names.push_back(std::filesystem::path(path).filename().string());
        }
        return names;
    }

    testing::TempDir dir_;
};

TEST_F(FileWatcherTest, AWriteARenameOverAndARemovalAreEachReportedOnce) {
    // Quiet long enough for the two steps of a rename-over to be one burst.
    auto watcher = Open(50ms);
    ASSERT_NE(watcher, nullptr);
    EXPECT_FALSE(watcher->Poll()) << "nothing changed yet";
    EXPECT_TRUE(watcher->Changed().empty());

    Write(dir_ / "a.fx", "one, edited");
    EXPECT_EQ(NextReport(*watcher), std::vector<std::string>{"a.fx"});
    EXPECT_FALSE(watcher->Poll()) << "the write was reported twice";

    // How many editors save: the new text into a temporary file, renamed
    // over the old one. The temporary file came and went: only b.glsl.
    Write(dir_ / "b.glsl.tmp", "two, edited");
    std::filesystem::rename(dir_ / "b.glsl.tmp", dir_ / "b.glsl");
    EXPECT_EQ(NextReport(*watcher), std::vector<std::string>{"b.glsl"});
    EXPECT_FALSE(watcher->Poll());

    std::filesystem::remove(dir_ / "a.fx");
    const std::vector<std::string> removed = NextReport(*watcher);
    EXPECT_EQ(removed, std::vector<std::string>{"a.fx"});
    EXPECT_FALSE(watcher->Poll());
    EXPECT_TRUE(watcher->Changed().empty());

    Write(dir_ / "c.fx", "new");
    EXPECT_EQ(NextReport(*watcher), std::vector<std::string>{"c.fx"}) << "a new file";
}

TEST_F(FileWatcherTest, ABurstOfWritesIsOneChangeReportedOnceTheFolderIsQuiet) {
    auto watcher = Open(150ms);
    ASSERT_NE(watcher, nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        Write(dir_ / "a.fx", "version " + std::to_string(i));
        Write(dir_ / "b.glsl", "version " + std::to_string(i));
        std::this_thread::sleep_for(5ms);
    }
    const auto lastWrite = std::chrono::steady_clock::now();
    std::vector<std::string> names = NextReport(*watcher);
    const auto reported = std::chrono::steady_clock::now();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.fx", "b.glsl"}));
    EXPECT_GE(reported - lastWrite, 150ms) << "reported before the folder was quiet";
    EXPECT_GE(reported - start, 150ms);
    EXPECT_FALSE(watcher->Poll());
}

TEST_F(FileWatcherTest, OnlyNamesWithTheGivenEndingsAreWatched) {
    auto watcher = Open(0ms, {".fx", ".glsl"});
    ASSERT_NE(watcher, nullptr);
    Write(dir_ / "notes.txt", "x");
    Write(dir_ / ".a.fx.swp", "x");
    Write(dir_ / "a.fx", "edited");
    EXPECT_EQ(NextReport(*watcher), std::vector<std::string>{"a.fx"});
}

TEST(FileWatcher, AFolderThatIsNotThereIsRefusedByName) {
    std::string error;
    EXPECT_EQ(FileWatcher::Open("/no/such/folder", error), nullptr);
    EXPECT_NE(error.find("/no/such/folder"), std::string::npos) << error;
}

}  // namespace
}  // namespace jolp
