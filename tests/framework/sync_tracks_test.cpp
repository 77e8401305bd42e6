#include "framework/sync_tracks.h"

#include "framework/sync_document.h"

#include "platform/log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace jolp::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Bytes = std::vector<uint8_t>;
using I = SyncInterpolation;

// Every message logged while it lives, as "W: text" / "E: text".
class LogCapture {
public:
    LogCapture() { SetLogSink(&Capture, this); }
    ~LogCapture() { SetLogSink(nullptr, nullptr); }
    std::vector<std::string> lines;

private:
    static void Capture(LogLevel level, const char* message, void* user) {
        const char* head = level == LogLevel::Warning ? "W: " : level == LogLevel::Error ? "E: " : "I: ";
        static_cast<LogCapture*>(user)->lines.push_back(head + std::string(message));
    }
};

void PutU32(Bytes& bytes, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A track file made by hand, as the tracker writes it on a little-endian
// machine.
Bytes HandMadeFile(const std::vector<SyncKey>& keys) {
    Bytes bytes;
    PutU32(bytes, static_cast<uint32_t>(keys.size()));
    for (const SyncKey& key : keys) {
        PutU32(bytes, static_cast<uint32_t>(key.row));
        uint32_t bits = 0;
        std::memcpy(&bits, &key.value, 4);
        PutU32(bytes, bits);
        bytes.push_back(static_cast<uint8_t>(key.interpolation));
    }
    return bytes;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}

// ---- Evaluation ----------------------------------------------------------

TEST(SyncValueTest, NoKeysIsZeroAndTheEdgesHoldTheFirstAndLastValues) {
    EXPECT_EQ(SyncValue({}, 5.0), 0.0);
    const std::vector<SyncKey> keys = {{4, 2.0f, I::Linear}, {8, 6.0f, I::Linear}};
    EXPECT_EQ(SyncValue(keys, -100.0), 2.0);
    EXPECT_EQ(SyncValue(keys, 3.99), 2.0);
    EXPECT_EQ(SyncValue(keys, 4.0), 2.0);
    EXPECT_EQ(SyncValue(keys, 8.0), 6.0);
    EXPECT_EQ(SyncValue(keys, 8.5), 6.0);
    EXPECT_EQ(SyncValue(keys, 1e12), 6.0);
    EXPECT_EQ(SyncValue(keys, -1e12), 2.0);
    // One key is its value everywhere, whatever its interpolation.
    EXPECT_EQ(SyncValue({{3, -1.5f, I::Smooth}}, 100.0), -1.5);
    EXPECT_EQ(SyncValue({{3, -1.5f, I::Smooth}}, 0.0), -1.5);
}

TEST(SyncValueTest, EachInterpolationBetweenTwoKeysIsTheTrackersCurve) {
    // From 1 at row 10 to 5 at row 18; t = (row - 10) / 8.
    auto between = [](I type, double row) { return SyncValue({{10, 1.0f, type}, {18, 5.0f, I::Step}}, row); };
    for (const double row : {10.0, 11.0, 13.5, 14.0, 17.999}) {
        const double t = (row - 10.0) / 8.0;
        EXPECT_EQ(between(I::Step, row), 1.0) << row;
        EXPECT_DOUBLE_EQ(between(I::Linear, row), 1.0 + 4.0 * t) << row;
        EXPECT_DOUBLE_EQ(between(I::Smooth, row), 1.0 + 4.0 * (t * t * (3.0 - 2.0 * t))) << row;
        EXPECT_DOUBLE_EQ(between(I::Ramp, row), 1.0 + 4.0 * (t * t)) << row;
    }
    EXPECT_DOUBLE_EQ(between(I::Smooth, 14.0), 3.0);  // halfway is halfway
    EXPECT_DOUBLE_EQ(between(I::Ramp, 14.0), 2.0);    // a quarter of the way
    for (const I type : {I::Step, I::Linear, I::Smooth, I::Ramp}) EXPECT_EQ(between(type, 18.0), 5.0);
}

TEST(SyncValueTest, TheKeyAtOrBeforeTheWholeRowChoosesTheCurve) {
    // Linear up to row 10, a step there, linear again from 20.
    const std::vector<SyncKey> keys = {
        {0, 0.0f, I::Linear}, {10, 10.0f, I::Step}, {20, 20.0f, I::Linear}, {30, 0.0f, I::Step}};
    EXPECT_DOUBLE_EQ(SyncValue(keys, 9.75), 9.75);
    EXPECT_EQ(SyncValue(keys, 10.0), 10.0);
    EXPECT_EQ(SyncValue(keys, 19.9), 10.0);
    EXPECT_EQ(SyncValue(keys, 20.0), 20.0);
    EXPECT_DOUBLE_EQ(SyncValue(keys, 25.5), 9.0);
    // Values are the keys' floats, widened: 0.1f is not 0.1.
    EXPECT_EQ(SyncValue({{0, 0.1f, I::Step}}, 0.0), static_cast<double>(0.1f));
}

TEST(SyncValueTest, RowsComeFromSecondsAndTheTempo) {
    EXPECT_DOUBLE_EQ(SyncRow(0.0, 120.0, 8.0), 0.0);
    EXPECT_DOUBLE_EQ(SyncRow(1.0, 120.0, 8.0), 16.0);
    EXPECT_DOUBLE_EQ(SyncRow(2.5, 150.0, 4.0), 25.0);
}

TEST(SyncTracksTest, TracksAreAskedForOnceAndKeysAreSetAndDeletedInRowOrder) {
    SyncTracks sync;
    const SyncTracks::Handle a = sync.Track("camera:distance");
    const SyncTracks::Handle b = sync.Track("glow");
    EXPECT_EQ(sync.Track("camera:distance"), a);
    EXPECT_NE(a, b);
    EXPECT_EQ(sync.Count(), 2u);
    SyncTracks::Handle found = 99;
    EXPECT_TRUE(sync.Find("glow", found));
    EXPECT_EQ(found, b);
    EXPECT_FALSE(sync.Find("camera", found));

    sync.SetKey(a, {8, 2.0f, I::Linear});
    sync.SetKey(a, {0, 1.0f, I::Linear});
    sync.SetKey(a, {4, 7.0f, I::Step});
    sync.SetKey(a, {8, 3.0f, I::Step});  // replaces the key at 8
    auto rows = [&] {
        std::vector<int32_t> r;
        for (const SyncKey& k : sync.Keys(a)) r.push_back(k.row);
        return r;
    };
    EXPECT_THAT(rows(), ElementsAre(0, 4, 8));
    EXPECT_EQ(sync.Value(a, 9.0), 3.0);
    EXPECT_DOUBLE_EQ(sync.Value(a, 2.0), 4.0);
    EXPECT_FALSE(sync.DeleteKey(a, 5));
    EXPECT_TRUE(sync.DeleteKey(a, 4));
    EXPECT_THAT(rows(), ElementsAre(0, 8));
    EXPECT_DOUBLE_EQ(sync.Value(a, 2.0), 1.5);
    EXPECT_TRUE(sync.Keys(b).empty());
    EXPECT_EQ(sync.Value(b, 2.0), 0.0);
}

// ---- Names and files -----------------------------------------------------

TEST(SyncTrackFileTest, NamesAreEncodedAsTheTrackerDoesAndDecodeBack) {
    EXPECT_EQ(EncodeSyncTrackName("camera:distance"), "camera-3Adistance");
    EXPECT_EQ(EncodeSyncTrackName("a.b_c/D9"), "a.b_c/D9");
    EXPECT_EQ(EncodeSyncTrackName("x y-z"), "x-20y-2Dz");
    EXPECT_EQ(EncodeSyncTrackName("l\xC3\xA4mpe"), "l-C3-A4mpe");  // UTF-8, byte by byte
    EXPECT_EQ(SyncTrackFile("fx:glow"), "sync/sync_fx-3Aglow.track");
    for (const char* name : {"camera:distance", "x y-z", "l\xC3\xA4mpe", "", "--::", "a/b"}) {
        std::string decoded;
        ASSERT_TRUE(DecodeSyncTrackName(EncodeSyncTrackName(name), decoded)) << name;
        EXPECT_EQ(decoded, name);
    }
    std::string decoded;
    for (const char* text : {"a:b", "a-3", "a-", "a-3a", "a-41", "a-G0", "a b"}) {
        EXPECT_FALSE(DecodeSyncTrackName(text, decoded)) << text;
    }
}

TEST(SyncTrackFileTest, SavedFilesAreTheTrackersLayoutByteForByteAndReadBack) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "sync");
    const std::vector<SyncKey> keys = {{0, 1.0f, I::Linear}, {16, -2.5f, I::Ramp}, {40, 0.1f, I::Smooth},
                                       {41, 3.0f, I::Step}};
    SyncTracks sync;
    sync.SetKeys(sync.Track("camera:distance"), keys);
    sync.Track("empty");
    std::string error;
    ASSERT_TRUE(sync.Save(dir.Path().string(), error)) << error;

    const Bytes expected = {4, 0, 0, 0,                                 // key count
                            0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F, 1,      // row 0, 1.0f, linear
                            16, 0, 0, 0, 0x00, 0x00, 0x20, 0xC0, 3,     // row 16, -2.5f, ramp
                            40, 0, 0, 0, 0xCD, 0xCC, 0xCC, 0x3D, 2,     // row 40, 0.1f, smooth
                            41, 0, 0, 0, 0x00, 0x00, 0x40, 0x40, 0};    // row 41, 3.0f, step
    EXPECT_EQ(ReadBytes(dir / "sync/sync_camera-3Adistance.track"), expected);
    EXPECT_EQ(ReadBytes(dir / "sync/sync_empty.track"), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(HandMadeFile(keys), expected);

    SyncTracks again;
    const SyncTracks::Handle h = again.Track("camera:distance");
    const SyncTracks::Handle e = again.Track("empty");
    LogCapture log;
    ASSERT_TRUE(again.Load(dir.Path().string()));
    EXPECT_TRUE(log.lines.empty());
    ASSERT_EQ(again.Keys(h).size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(again.Keys(h)[i].row, keys[i].row);
        EXPECT_EQ(again.Keys(h)[i].value, keys[i].value);
        EXPECT_EQ(again.Keys(h)[i].interpolation, keys[i].interpolation);
    }
    EXPECT_TRUE(again.Keys(e).empty());
}

TEST(SyncTrackFileTest, TruncatedAndMalformedFilesAreRefusedAtTheirOffset) {
    const Bytes good = HandMadeFile({{0, 1.0f, I::Linear}, {5, 2.0f, I::Step}});
    struct Case {
        const char* what;
        Bytes bytes;
        const char* error;
    };
    Bytes badType = good;
    badType[12] = 4;
    Bytes outOfOrder = HandMadeFile({{5, 1.0f, I::Linear}, {5, 2.0f, I::Step}});
    Bytes negative = good;
    negative[3] = 0x80;
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes countPastEnd = HandMadeFile({});
    countPastEnd[0] = 1;
    const Case cases[] = {
        {"empty", {}, "offset 0: truncated: no key count"},
        {"short count", {1, 0}, "offset 0: truncated: no key count"},
        {"cut in the second key", Bytes(good.begin(), good.end() - 1), "offset 13: truncated"},
        {"a count past the end", countPastEnd, "offset 4: truncated"},
        {"negative count", negative, "offset 0: negative key count"},
        {"unknown interpolation", badType, "offset 12: unknown interpolation type"},
        {"rows out of order", outOfOrder, "offset 13: key rows out of order"},
        {"bytes after the keys", trailing, "offset 22: bytes after the last key"},
    };
    for (const Case& c : cases) {
        std::vector<SyncKey> keys = {{1, 1.0f, I::Step}};
        std::string error;
        EXPECT_FALSE(ParseSyncTrack(c.bytes.data(), c.bytes.size(), keys, error)) << c.what;
        EXPECT_THAT(error, HasSubstr(c.error)) << c.what;
        EXPECT_TRUE(keys.empty()) << c.what;
    }

    // Loading one says so in one line naming the file; the others still load.
    TempDir dir;
    WriteBytes(dir / "sync/sync_bad.track", badType);
    WriteBytes(dir / "sync/sync_good.track", good);
    SyncTracks sync;
    sync.Track("bad");
    const SyncTracks::Handle g = sync.Track("good");
    LogCapture log;
    EXPECT_FALSE(sync.Load(dir.Path().string()));
    EXPECT_THAT(log.lines,
                ElementsAre("E: " + (dir / "sync/sync_bad.track") + ": offset 12: unknown interpolation type"));
    EXPECT_EQ(sync.Keys(g).size(), 2u);
}

TEST(SyncTrackFileTest, AMissingFileIsATrackWithoutKeysAndAWarning) {
    TempDir dir;
    SyncTracks sync;
    const SyncTracks::Handle h = sync.Track("fx:glow");
    LogCapture log;
    EXPECT_TRUE(sync.Load(dir.Path().string()));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_THAT(log.lines[0], HasSubstr("W: " + (dir / "sync/sync_fx-3Aglow.track")));
    EXPECT_THAT(log.lines[0], HasSubstr("fx:glow"));
    EXPECT_EQ(sync.Value(h, 3.0), 0.0);

    // A folder where the file should be is no track file.
    std::filesystem::create_directories(dir.Path() / "sync/sync_fx-3Aglow.track");
    log.lines.clear();
    EXPECT_FALSE(sync.Load(dir.Path().string()));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_THAT(log.lines[0], HasSubstr("not a regular file"));
}

// ---- Editor documents ----------------------------------------------------

std::vector<std::string> Rows(const SyncDocumentTrack& track) {
    std::vector<std::string> out;
    for (const SyncKey& k : track.keys) {
        out.push_back(std::to_string(k.row) + " " + std::to_string(k.value) + " " +
                      std::to_string(static_cast<int>(k.interpolation)));
    }
    return out;
}

TEST(SyncDocumentTest, TheQtEditorsDocumentIsRead) {
    const char* text =
        "<sync rows=\"10000\">\n"
        "\t<tracks>\n"
        "\t\t<track name=\"camera:distance\">\n"
        "\t\t\t<key row=\"16\" value=\"-2.5\" interpolation=\"3\"/>\n"
        "\t\t\t<key row=\"0\" value=\"1\" interpolation=\"1\"/>\n"
        "\t\t</track>\n"
        "\t\t<track name=\"fx &amp; &#x6C;ight&lt;1&gt; &quot;&#228;&quot;\"/>\n"
        "\t</tracks>\n"
        "\t<bookmarks><bookmark row=\"4\"/></bookmarks>\n"
        "</sync>\n";
    SyncDocument document;
    std::string error;
    ASSERT_TRUE(ParseSyncDocument(text, document, error)) << error;
    ASSERT_EQ(document.tracks.size(), 2u);
    EXPECT_EQ(document.tracks[0].name, "camera:distance");
    EXPECT_THAT(Rows(document.tracks[0]), ElementsAre("0 1.000000 1", "16 -2.500000 3"));
    EXPECT_EQ(document.tracks[1].name, "fx & light<1> \"\xC3\xA4\"");
    EXPECT_TRUE(document.tracks[1].keys.empty());
    EXPECT_EQ(document.beatsPerMinute, 0.0);
}

TEST(SyncDocumentTest, TheOtherEditorsDocumentGivesTheTempoAndPlaysMutedTracksAsTheirMuteValue) {
    const char* text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- saved by hand -->\n"
        "<rootElement>\n"
        "\t<bookmark row=\"8\" />\n"
        "\t<group name=\"fx\" />\n"
        "<tracks rows=\"10000\" startRow=\"0\" endRow=\"10000\" rowsPerBeat=\"4\" beatsPerMin=\"125\">\n"
        "\t<track name=\"fx:glow\" folded=\"0\" muteKeyCount=\"0\" color=\"ffb27474\">\n"
        "\t\t<key row=\"0\" value=\"0.100000\" interpolation=\"2\" />\n"
        "\t\t<key row=\"32\" value=\"1.000000\" interpolation=\"0\" />\n"
        "\t</track>\n"
        "\t<track name=\"fx:dim\" folded=\"0\" muteKeyCount=\"2\" color=\"ff00ff00\" muteValue=\"0.500000\">\n"
        "\t\t<key row=\"0\" value=\"3.000000\" interpolation=\"1\" />\n"
        "\t\t<key row=\"8\" value=\"4.000000\" interpolation=\"0\" />\n"
        "\t</track>\n"
        "</tracks>\n"
        "</rootElement>\n";
    SyncDocument document;
    std::string error;
    ASSERT_TRUE(ParseSyncDocument(text, document, error)) << error;
    EXPECT_EQ(document.beatsPerMinute, 125.0);
    EXPECT_EQ(document.rowsPerBeat, 4.0);
    ASSERT_EQ(document.tracks.size(), 2u);
    EXPECT_THAT(Rows(document.tracks[0]), ElementsAre("0 0.100000 2", "32 1.000000 0"));
    EXPECT_EQ(document.tracks[0].keys[0].value, 0.1f);
    EXPECT_EQ(document.tracks[1].name, "fx:dim");
    EXPECT_THAT(Rows(document.tracks[1]), ElementsAre("0 0.500000 0"));
}

TEST(SyncDocumentTest, MalformedDocumentsAreRefusedWithTheirLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "line 1: no root element"},
        {"<sync>\n<tracks>\n</sync>", "line 3: </sync> closes nothing open"},
        {"<sync>\n<tracks>", "line 2: <tracks> is not closed"},
        {"<sync/><sync/>", "line 1: a second root element"},
        {"<sync>\n<!-- never ends", "line 2: unterminated <!--"},
        {"<sync a=\"1\" a=\"2\"/>", "line 1: attribute a given twice"},
        {"<sync a=1/>", "line 1: attribute a without quotes"},
        {"<sync a=\"&nbsp;\"/>", "line 1: unknown entity &nbsp;"},
        {"<sync a=\"&#0;\"/>", "line 1: bad character reference"},
        {"<sync><tracks>\n<track name=\"a\">\n<key row=\"1\" value=\"2\"/>", "line 3: a key needs row, value"},
        {"<sync><tracks><track name=\"a\">\n\n<key row=\"1.5\" value=\"2\" interpolation=\"0\"/>",
         "line 3: bad key row \"1.5\""},
        {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"x\" interpolation=\"0\"/>", "bad key value"},
        {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"2\" interpolation=\"4\"/>",
         "unknown interpolation \"4\""},
        {"<sync><tracks><track name=\"a\"><key row=\"1\" value=\"2\" interpolation=\"0\"/>"
         "<key row=\"1\" value=\"3\" interpolation=\"0\"/>\n</track>",
         "line 2: track \"a\" has two keys on row 1"},
        {"<sync><tracks><track name=\"a\"/>\n<track name=\"a\"/>", "line 2: track \"a\" appears twice"},
        {"<sync><tracks beatsPerMin=\"fast\"/></sync>", "bad beatsPerMin"},
    };
    for (const auto& [text, expected] : cases) {
        SyncDocument document;
        document.tracks.push_back({"left over", {}});
        std::string error;
        EXPECT_FALSE(ParseSyncDocument(text, document, error)) << text;
        EXPECT_THAT(error, HasSubstr(expected)) << text;
        EXPECT_TRUE(document.tracks.empty()) << text;
    }
}

// ---- In the program ------------------------------------------------------

RunConfig HeadlessFrom(const std::string& dataFolder, uint32_t toMs) {
    RunConfig config;
    config.headless = true;
    config.hasTo = true;
    config.toMs = toMs;
    config.createDisplay = &RecordingDisplay;
    config.dataFolder = dataFolder;
    config.beatsPerMinute = 150.0;
    config.rowsPerBeat = 4.0;  // 10 rows a second
    return config;
}

TEST(SyncTracksTest, TheProgramReadsItsTracksBeforeTheTimelineAndFramesSeeTheRowOfTheClock) {
    TempDir dir;
    WriteBytes(dir / "sync/sync_fx-3Aglow.track", HandMadeFile({{0, 0.0f, I::Linear}, {10, 1.0f, I::Step}}));
    TestProgram program(HeadlessFrom(dir.Path().string(), 1001));
    const SyncTracks::Handle glow = program.sync.Track("fx:glow");
    size_t keysAtBuild = 0;
    std::vector<double> values;
    CallbackTrack track(0, 0xFFFFFFFFu, [&](DemoProgram& p) { values.push_back(p.sync.Value(glow, p.SyncRowNow())); });
    program.buildTimeline = [&](TestProgram& p) {
        keysAtBuild = p.sync.Keys(glow).size();
        p.AddChild(&track);
        return true;
    };
    ASSERT_TRUE(program.Init("Sync"));
    ASSERT_TRUE(program.Run("no-such-music.ogg"));
    EXPECT_EQ(keysAtBuild, 2u);
    ASSERT_EQ(values.size(), 31u);  // 30 fps over [0, 1001) ms
    EXPECT_NEAR(values[0], 0.0, 1e-6);
    EXPECT_NEAR(values[15], 0.5, 1e-6);  // 0.5 s: row 5
    EXPECT_NEAR(values[30], 1.0, 1e-6);  // 1 s: row 10
}

TEST(SyncTracksTest, AMalformedTrackFileStopsTheStart) {
    TempDir dir;
    WriteBytes(dir / "sync/sync_glow.track", Bytes{1, 0, 0, 0, 0});
    TestProgram program(HeadlessFrom(dir.Path().string(), 100));
    program.sync.Track("glow");
    bool built = false;
    program.buildTimeline = [&](TestProgram&) { return built = true; };
    LogCapture log;
    ASSERT_TRUE(program.Init("Sync"));
    EXPECT_FALSE(program.Run("no-such-music.ogg"));
    EXPECT_FALSE(built);
    EXPECT_THAT(log.lines, ::testing::Contains(HasSubstr("sync_glow.track: offset 4: truncated")));
}

}  // namespace
}  // namespace jolp::testing
