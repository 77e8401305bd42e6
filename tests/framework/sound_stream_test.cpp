// The music calls over the real audio output (SDL's dummy driver where the
// machine has no sound card) and real Ogg Vorbis files from our writer.
#include "framework/sound_stream.h"
#include "platform/music_stream.h"

#include "tests/support/temp_dir.h"
#include "tools/vorbis_writer.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace jolp {
namespace {

std::string WriteTone(const testing::TempDir& dir, const std::string& name, double seconds, int rate, int channels) {
    jolp::tools::VorbisSettings settings;
    settings.sampleRate = rate;
    settings.channels = channels;
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = 0.1f * std::sin(0.03f * static_cast<float>(i));
    std::string error;
    const std::string path = dir / name;
    EXPECT_TRUE(jolp::tools::WriteOggVorbis(path, samples.data(), frames, settings, error)) << error;
    return path;
}

TEST(SoundStreamTest, FilesThatCannotBeOpenedGiveHandleZero) {
    testing::TempDir dir;
    EXPECT_EQ(StreamOpen(dir / "missing.ogg"), 0u);
    {
        std::ofstream(dir / "noise.ogg") << "this is not an ogg file";
    }
    EXPECT_EQ(StreamOpen(dir / "noise.ogg"), 0u);
    {
        std::ofstream(dir / "empty.ogg");
    }
    EXPECT_EQ(StreamOpen(dir / "empty.ogg"), 0u);
    // A FIFO without a writer is refused at once instead of blocking.
    const std::string fifo = dir / "pipe.ogg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(StreamOpen(fifo), 0u);
    // Every call tolerates the zero handle.
    EXPECT_EQ(StreamGetLengthMs(0), 0u);
    EXPECT_EQ(StreamGetTime(0), 0u);
    EXPECT_EQ(StreamPlay(-1, 0), -1);
    EXPECT_FALSE(StreamStop(0));
    EXPECT_FALSE(StreamClose(0));
}

TEST(SoundStreamTest, RefusalsSayWhatIsWrongInWords) {
    testing::TempDir dir;
    {
        std::ofstream(dir / "noise.ogg") << "this is not an ogg file";
    }
    const std::string good = WriteTone(dir, "good.ogg", 1.0, 22050, 1);
    std::string bytes;
    {
        std::ifstream in(good, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(dir / "cut.ogg", std::ios::binary) << bytes.substr(0, 60);
    const std::string fifo = dir / "pipe.ogg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {dir / "noise.ogg", "not an Ogg"},
        {dir / "cut.ogg", "cut off"},
        {fifo, "not a regular file (a FIFO)"},
        {dir / "missing.ogg", "No such file or directory"},
    };
    for (const auto& [path, words] : cases) {
        std::string error;
        EXPECT_EQ(MusicStream::Open(path, error), nullptr) << path;
        EXPECT_NE(error.find(path + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(words), std::string::npos) << error;
        EXPECT_EQ(error.find("stb_vorbis"), std::string::npos) << error;
    }
}

TEST(SoundStreamTest, LengthIsTheWholeStreamInMilliseconds) {
    testing::TempDir dir;
    const StreamHandle stereo = StreamOpen(WriteTone(dir, "a.ogg", 1.5, 44100, 2));
    ASSERT_NE(stereo, 0u);
    EXPECT_EQ(StreamGetLengthMs(stereo), 1500u);
    StreamClose(stereo);
    const StreamHandle mono = StreamOpen(WriteTone(dir, "b.ogg", 0.8, 22050, 1));
    ASSERT_NE(mono, 0u);
    EXPECT_EQ(StreamGetLengthMs(mono), 800u);
    StreamClose(mono);
    // Truncated, not rounded: 16537 frames at 22050 Hz are 749.97 ms.
    const StreamHandle odd = StreamOpen(WriteTone(dir, "c.ogg", 0.75, 22050, 1));
    ASSERT_NE(odd, 0u);
    EXPECT_EQ(StreamGetLengthMs(odd), 749u);
    StreamClose(odd);
}

TEST(SoundStreamTest, PositionIsZeroUntilPlayedThenAdvancesWithinTheLength) {
    testing::TempDir dir;
    SoundStream stream;
    stream.handle = StreamOpen(WriteTone(dir, "c.ogg", 0.5, 22050, 1));
    ASSERT_NE(stream.handle, 0u);
    EXPECT_EQ(StreamPlay(-1, stream.handle), -1) << "no output is open yet";
    ASSERT_TRUE(SoundInit(44100, 32, 0));
    EXPECT_EQ(StreamGetTime(stream.handle), 0u);
    ASSERT_GE(StreamPlay(-1, stream.handle), 0);
    uint32_t last = 0;
    const Uint64 begin = SDL_GetTicks64();
    while (SDL_GetTicks64() - begin < 3000) {
        const uint32_t now = StreamGetTime(stream.handle);
        EXPECT_GE(now, last);
        EXPECT_LE(now, 500u);
        last = now;
        if (now == 500u) break;
        SDL_Delay(5);
    }
    EXPECT_GT(last, 0u) << "the output never consumed the stream";
    EXPECT_TRUE(StreamStop(stream.handle));
    SoundClose();
}

TEST(SoundStreamTest, TheProcessWideFlagIsOnlyWhatTheProgramSetsIt) {
    EXPECT_FALSE(SoundInitialised());
    SetSoundInitialised(true);
    EXPECT_TRUE(SoundInitialised());
    SetSoundInitialised(false);
    EXPECT_FALSE(SoundInitialised());
}

}  // namespace
}  // namespace jolp
