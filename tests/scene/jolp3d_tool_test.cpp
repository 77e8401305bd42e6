// The jolp3d tool as users run it: info, check, sample, help and the exit
// codes of bad files and bad command lines.
#include "scene/scene_file.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

namespace jolp::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::IsEmpty;

const std::string kJolp3d = JOLP3D_BINARY;

ProcessResult Jolp3d(const std::vector<std::string>& args) { return RunProcess(kJolp3d, args, {}, 30.0); }

// The same with standard output on /dev/full, where every write fails as
// on a full disk.
ProcessResult Jolp3dIntoFullDisk(std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" >/dev/full", kJolp3d});
    return RunProcess("/bin/sh", args, {}, 30.0);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(Jolp3dTool, SampleThenInfoListsWhatTheSceneHolds) {
    TempDir dir;
    const std::string file = dir / "scene.JOLP3D";
    const ProcessResult sample = Jolp3d({"sample", file});
    ASSERT_EQ(sample.exitCode, 0) << sample.err;

    const ProcessResult info = Jolp3d({"info", file});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_THAT(info.err, IsEmpty());
    for (const char* line : {"meshes: 2 (3 submeshes, 48 vertices, 72 indices)", "materials: 3 (2 leaf)",
                             "tracks: 9 (2 scalar, 3 vector, 4 transform, 0 other)", "endTime: 2.0000002",
                             "draw list: 3 entries", "\"Camera01\" transform track 2, field-of-view track 3",
                             "\"Omni_shadow\" shadow yes, volume no, cube no",
                             "\"Omni_volume\" shadow no, volume yes, cube no", "\"Dummy01\" transform track 8",
                             "\"emitter\" = \"sparkls\"", "\"Stone\" shader \"qo_lambertblinn.fx\", 4 parameters",
                             "\"bumpDepth\" = \"0.05\"", "\"StoneAndGlow\" multi-material: 0 1",
                             "\"Box02\" mesh 1 (2 submeshes), material 2 \"StoneAndGlow\""}) {
        EXPECT_THAT(info.out, HasSubstr(line));
    }

    const ProcessResult check = Jolp3d({"check", file});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_THAT(check.out, HasSubstr("valid"));

    // What could not be printed is a failure too.
    for (const char* command : {"info", "check"}) {
        const ProcessResult full = Jolp3dIntoFullDisk({command, file});
        EXPECT_EQ(full.exitCode, 1) << command;
        EXPECT_EQ(full.err, "jolp3d: cannot write standard output (No space left on device)\n") << command;
    }
}

// sample writes only a regular file: a device or a FIFO in its place is
// refused before a byte, and never removed (a failed write once deleted
// the device node itself).
TEST(Jolp3dTool, SampleRefusesAnOutputThatIsNoRegularFile) {
    TempDir dir;
    const std::string device = dir / "full";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) ASSERT_EQ(::mkfifo(device.c_str(), 0600), 0);
    const ProcessResult r = Jolp3d({"sample", device});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr(", not a regular file; outputs are written only as regular files"));
    struct stat st {};
    ASSERT_EQ(::lstat(device.c_str(), &st), 0);
    EXPECT_FALSE(S_ISREG(st.st_mode));
}

TEST(Jolp3dTool, CheckRefusesInvalidFilesWithTheLoadersLine) {
    TempDir dir;
    SceneFileBuilder builder;
    BuildSampleScene(builder);
    builder.File().objects[0].mesh = 5;
    WriteBytes(dir / "bad.JOLP3D", builder.Write());
    const ProcessResult bad = Jolp3d({"check", dir / "bad.JOLP3D"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_THAT(bad.err, HasSubstr("jolp3d: " + (dir / "bad.JOLP3D") + ": byte "));
    EXPECT_THAT(bad.err, Not(HasSubstr("tarvel:")));
    EXPECT_THAT(bad.err, HasSubstr("mesh index 5 of object 0 \"Box01\" is out of range (2 meshes)"));

    WriteBytes(dir / "old.JOLP3D", {'K', '3', 'D', 'F', 169, 0, 0, 0});
    const ProcessResult old = Jolp3d({"info", dir / "old.JOLP3D"});
    EXPECT_EQ(old.exitCode, 1);
    EXPECT_THAT(old.err, HasSubstr("old.JOLP3D: byte 4: version 169, expected 170"));
    EXPECT_THAT(old.out, IsEmpty());

    const ProcessResult missing = Jolp3d({"check", dir / "none.JOLP3D"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("none.JOLP3D: cannot read"));

    // A device that never ends and a FIFO without a writer are refused at
    // once, not read until memory runs out or waited on for ever.
    const ProcessResult zero = Jolp3d({"info", "/dev/zero"});
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_THAT(zero.err, HasSubstr("/dev/zero: cannot read: not a regular file (a character device)"));
    ASSERT_EQ(::mkfifo((dir / "pipe.JOLP3D").c_str(), 0600), 0);
    const ProcessResult fifo = Jolp3d({"check", dir / "pipe.JOLP3D"});
    EXPECT_EQ(fifo.exitCode, 1);
    EXPECT_THAT(fifo.err, HasSubstr("pipe.JOLP3D: cannot read: not a regular file (a FIFO)"));

    const ProcessResult unwritable = Jolp3d({"sample", dir / "no/such/folder/x.JOLP3D"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_THAT(unwritable.err, HasSubstr("cannot write"));
}

TEST(Jolp3dTool, HelpAndBadCommandLines) {
    const ProcessResult help = Jolp3d({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: jolp3d COMMAND FILE"));
    const ProcessResult full = Jolp3dIntoFullDisk({"--help"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_THAT(full.err, HasSubstr("cannot write standard output"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"inspect", "x"}, {"info"}, {"check", "a", "b"}, {"--bogus"}}) {
        const ProcessResult r = Jolp3d(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(r.err, HasSubstr("jolp3d --help"));
    }
}

}  // namespace
}  // namespace jolp::testing
