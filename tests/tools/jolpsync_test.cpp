// jolpsync, the real binary, over a data folder of track files written by
// the framework's writer.
#include "framework/sync_tracks.h"

#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace jolp::testing {
namespace {

using ::testing::HasSubstr;
using I = SyncInterpolation;

const std::string kJolpSync = JOLPSYNC_BINARY;

// A data folder with two tracks, one of them in a group.
class JolpSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.Path() / "sync");
        SyncTracks sync;
        sync.SetKeys(sync.Track("camera:distance"), {{0, 0.0f, I::Linear}, {8, 4.0f, I::Smooth}, {16, 0.0f, I::Step}});
        sync.SetKeys(sync.Track("glow"), {{4, 0.5f, I::Step}});
        std::string error;
        ASSERT_TRUE(sync.Save(dir.Path().string(), error)) << error;
    }
    ProcessResult Run(const std::vector<std::string>& args) { return RunProcess(kJolpSync, args); }

    TempDir dir;
};

TEST_F(JolpSyncTest, ListsTheTrackNamesDecodedFromTheFileNames) {
    std::ofstream(dir / "sync/notes.txt") << "not a track";
    std::ofstream(dir / "sync/sync_bad-zz.track") << "";
    const ProcessResult r = Run({"list", dir.Path().string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "camera:distance\nglow\n");
    EXPECT_THAT(r.err, HasSubstr("sync_bad-zz.track: not a track's file name"));

    TempDir empty;  // no sync folder: no tracks
    const ProcessResult none = Run({"list", empty.Path().string()});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "");
}

TEST_F(JolpSyncTest, PrintsTheValueAtEachRow) {
    const ProcessResult r = Run({"value", dir.Path().string(), "camera:distance", "-3", "2", "4.5", "12", "16", "99"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Linear to row 8, smooth from 4 down to 0 over 8..16 (12 is halfway).
    EXPECT_EQ(r.out, "0\n1\n2.25\n2\n0\n0\n");
    const ProcessResult glow = Run({"value", dir.Path().string(), "glow", "0"});
    EXPECT_EQ(glow.out, "0.5\n");
}

TEST_F(JolpSyncTest, ExitsOneForABadFileAndTwoForABadCommandLine) {
    std::ofstream(dir / "sync/sync_broken.track", std::ios::binary) << std::string("\x02\0\0\0\0", 5);
    const ProcessResult broken = Run({"value", dir.Path().string(), "broken", "0"});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_THAT(broken.err, HasSubstr("sync/sync_broken.track: offset 4: truncated"));
    EXPECT_EQ(broken.out, "");

    const ProcessResult missing = Run({"value", dir.Path().string(), "nothing", "0"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("sync/sync_nothing.track: no such file"));
    EXPECT_EQ(Run({"list", (dir / "no-such-folder")}).exitCode, 1);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"play"}, {"list"}, {"list", "a", "b"}, {"value", dir.Path().string(), "glow"},
             {"value", dir.Path().string(), "glow", "1x"}, {"value", dir.Path().string(), "glow", "nan"}}) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(r.err, HasSubstr("Try 'jolpsync --help'."));
    }
    const ProcessResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("jolpsync value DATA TRACK ROW..."));
}

TEST_F(JolpSyncTest, ConvertsAnEditorsDocumentIntoTheTrackFiles) {
    std::ofstream(dir / "demo.rocket")
        << "<?xml version=\"1.0\"?>\n<rootElement>\n"
           "<tracks rows=\"10000\" rowsPerBeat=\"8\" beatsPerMin=\"125\">\n"
           "\t<track name=\"glow\" folded=\"0\" muteKeyCount=\"0\" color=\"ffb27474\">\n"
           "\t\t<key row=\"2\" value=\"7.000000\" interpolation=\"1\" />\n"
           "\t\t<key row=\"6\" value=\"9.000000\" interpolation=\"0\" />\n"
           "\t</track>\n"
           "\t<track name=\"fx:dim\" folded=\"0\" muteKeyCount=\"0\"/>\n"
           "</tracks>\n</rootElement>\n";
    const ProcessResult r = Run({"convert", dir / "demo.rocket", dir.Path().string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "glow: 2 keys\nfx:dim: 0 keys\ntempo: 125 beats per minute, 8 rows per beat\n");
    EXPECT_EQ(Run({"list", dir.Path().string()}).out, "camera:distance\nfx:dim\nglow\n");
    EXPECT_EQ(Run({"value", dir.Path().string(), "glow", "4", "6"}).out, "8\n9\n");

    std::ofstream(dir / "broken.rocket") << "<sync>\n<tracks>\n";
    const ProcessResult broken = Run({"convert", dir / "broken.rocket", dir.Path().string()});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_THAT(broken.err, HasSubstr("broken.rocket: line 3: <tracks> is not closed"));
    EXPECT_EQ(Run({"convert", dir / "demo.rocket"}).exitCode, 2);
}

}  // namespace
}  // namespace jolp::testing
