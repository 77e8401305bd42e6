// music.h - the demo's music, synthesised in code and written as
// "media/music.ogg": a 205-second stereo piece whose sections change on the
// picture's cuts (intro, build-up, the main part from 85 s when the
// particles appear, a break, a finale, and an ending faded out by 204.4 s).
//
// The music generator owns these functions and the music_*.{h,cpp} files
// behind them (score, voices, effects). The same bytes come out on every
// run: the noise is seeded, the math is our own, the Vorbis serial fixed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarvel::content {

constexpr int kMusicSampleRate = 44100;
constexpr int kMusicChannels = 2;
// The demo's last shot ends at 204.4 s; the music stops a little after.
constexpr double kMusicLengthSeconds = 205.0;
// From here on the music is silent.
constexpr double kMusicSilentFromSeconds = 204.4;

double MusicLengthSeconds();
size_t MusicFrameCount();

// One section of the piece: a whole number of 4/4 bars between two cuts.
struct MusicSection {
    const char* name;
    double startSeconds;
    double endSeconds;
    int bars;
    double Bpm() const { return 240.0 * bars / (endSeconds - startSeconds); }
};

// The sections in order; the first starts at 0, each starts where the one
// before ends.
const std::vector<MusicSection>& MusicSections();

// The whole piece: MusicFrameCount() frames, interleaved left/right, peak
// about -1.5 dBFS.
std::vector<float> SynthesizeMusic();

// Synthesises the piece and writes it to path as Ogg Vorbis (through a
// temporary file beside it, renamed at the end). False with the reason,
// naming the file, when the file cannot be written.
bool WriteMusic(const std::string& path, std::string& error);

// Writes already synthesised samples (SynthesizeMusic's) the same way.
bool WriteMusicSamples(const std::string& path, const std::vector<float>& samples, std::string& error);

// RMS and peak of interleaved stereo samples between two times (seconds),
// both channels together.
struct MusicLevel {
    double rms = 0.0;
    double peak = 0.0;
};
MusicLevel MeasureMusic(const std::vector<float>& samples, int channels, int sampleRate, double from, double to);

// A table of RMS and peak (dBFS) per section, for checking the mix by eye.
std::string DescribeMusicLevels(const std::vector<float>& samples, int channels, int sampleRate);

}  // namespace tarvel::content
