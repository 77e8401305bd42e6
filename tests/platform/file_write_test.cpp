// The one writer every output goes through: what it refuses, what it
// leaves behind when a write fails, and what it never touches.
#include "platform/file_write.h"

#include "tests/support/small_disk.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace jolp {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::SmallDisk;
using testing::TempDir;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileWrite, WhatStandsInTheWayIsRefusedAndLeftAsItWas) {
    TempDir dir;
    // A link planted under the output's name: its target, outside the
    // folder, is neither written nor emptied.
    const std::string secret = dir / "secret";
    Put(secret, "keep me");
    ::chmod(secret.c_str(), 0600);
    const std::string link = dir / "frame_000000.png";
    fs::create_symlink(secret, link);
    std::string error;
    EXPECT_FALSE(WriteWholeFile(link, "PNG", 3, error));
    EXPECT_EQ(error, link + ": is a link; outputs are never written through a link (remove it first)");
    EXPECT_EQ(Contents(secret), "keep me");
    EXPECT_TRUE(fs::is_symlink(link));

    // A device is refused before a byte is written, and never removed.
    EXPECT_FALSE(WriteWholeFile("/dev/full", "x", 1, error));
    EXPECT_EQ(error, "/dev/full: is a character device, not a regular file; outputs are written only as regular files");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(WriteWholeFile(fifo, "x", 1, error));
    EXPECT_THAT(error, HasSubstr("is a FIFO, not a regular file"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::create_directory(dir / "folder");
    EXPECT_FALSE(WriteWholeFile(dir / "folder", "x", 1, error));
    EXPECT_EQ(error, (dir / "folder") + ": is a folder, not a file");
    EXPECT_FALSE(WriteWholeFile(dir / "none/x", "x", 1, error));
    EXPECT_EQ(error, (dir / "none/x") + ": cannot be written (No such file or directory)");

    // Nothing of the writer's own is left beside them.
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"folder", "frame_000000.png", "pipe", "secret"}));
}

TEST(FileWrite, AFileReplacedKeepsItsPermissionsAndNoUserFileIsTakenForATemporaryOne) {
    TempDir dir;
    const std::string scene = dir / "scene.JOLP3D";
    Put(scene, "old");
    ::chmod(scene.c_str(), 0440);
    // Files named like temporary ones are the user's.
    Put(dir / "scene.JOLP3D.partial", "mine");
    Put(dir / "scene.JOLP3D.part", "mine too");
    std::string error;
    ASSERT_TRUE(WriteWholeFile(scene, "new", 3, error)) << error;
    EXPECT_EQ(Contents(scene), "new");
    struct stat st {};
    ASSERT_EQ(::stat(scene.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0440u);
    EXPECT_EQ(Contents(dir / "scene.JOLP3D.partial"), "mine");
    EXPECT_EQ(Contents(dir / "scene.JOLP3D.part"), "mine too");
    EXPECT_EQ(Names(dir.Path()).size(), 3u);
}

TEST(FileWrite, TwoWritersOfOneNameEachWriteTheirOwnFileAndTheLastCommitWins) {
    TempDir dir;
    const std::string video = dir / "same.mp4";
    OutputFile first, second;
    std::string error;
    ASSERT_TRUE(first.Open(video, error)) << error;
    ASSERT_TRUE(second.Open(video, error)) << error;
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    EXPECT_EQ(fs::path(first.TemporaryPath()).filename().string().rfind(".same.mp4.", 0), 0u);
    first.Write("first, whole", 12);
    second.Write("second, whole", 13);
    ASSERT_TRUE(first.Commit(error)) << error;
    EXPECT_EQ(Contents(video), "first, whole");
    ASSERT_TRUE(second.Commit(error)) << error;
    EXPECT_EQ(Contents(video), "second, whole");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"same.mp4"});

    // Abandoned, or gone out of scope unfinished: nothing at the name.
    {
        OutputFile left;
        ASSERT_TRUE(left.Open(dir / "left.png", error));
        left.Write("half", 4);
        OutputFile dropped;
        ASSERT_TRUE(dropped.Open(dir / "dropped.png", error));
        dropped.Abandon();
        // A signal handler removes what is unfinished.
        OutputFile interrupted;
        ASSERT_TRUE(interrupted.Open(dir / "interrupted.png", error));
        const std::string temporary = interrupted.TemporaryPath();
        EXPECT_TRUE(fs::exists(temporary));
        RemoveUnfinishedOutputs();
        EXPECT_FALSE(fs::exists(temporary));
        EXPECT_FALSE(fs::exists(left.TemporaryPath()));
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"same.mp4"});
}

TEST(FileWrite, AFullDiskFailsWithTheSystemsWordsAndKeepsTheOldFile) {
    SmallDisk disk(64 * 1024);
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    const std::string path = disk / "music.ogg";
    Put(path, "the last good one");
    const std::vector<uint8_t> big(256 * 1024, 7);
    std::string error;
    EXPECT_FALSE(WriteWholeFile(path, big.data(), big.size(), error));
    EXPECT_EQ(error, path + ": cannot be written (No space left on device)");
    EXPECT_EQ(Contents(path), "the last good one");
    EXPECT_EQ(Names(disk.Path()), std::vector<std::string>{"music.ogg"});
}

TEST(FileWrite, AFileSizeLimitIsAFailureNotTheEndOfTheProgram) {
    TempDir dir;
    const std::string path = dir / "frame.png";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // SIGXFSZ would end the process here, were it not ignored.
        struct rlimit limit = {100 * 1024, 100 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::vector<uint8_t> big(300 * 1024, 1);
        std::string error;
        const bool wrote = WriteWholeFile(path, big.data(), big.size(), error);
        _exit(!wrote && error == path + ": cannot be written (File too large)" ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(Names(dir.Path()).empty());
}

TEST(FileWrite, AFolderIsCheckedForWritingWithoutLeavingAnything) {
    TempDir dir;
    std::string error;
    EXPECT_TRUE(CheckWritableFolder(dir.Path().string(), error)) << error;
    EXPECT_TRUE(Names(dir.Path()).empty());
    EXPECT_FALSE(CheckWritableFolder(dir / "missing", error));
    EXPECT_EQ(error, (dir / "missing") + ": cannot write files in this folder (No such file or directory)");
}

}  // namespace
}  // namespace jolp
