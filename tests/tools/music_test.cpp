// Tests of the demo's music: the file our writer makes, decoded with the
// same Vorbis decoder the player uses, and the synthesised signal itself;
// and jolp_ogg, which makes an author's music file from a WAV or raw PCM.
// The piece is synthesised and written once for the whole binary; the
// test of repeatable bytes runs WriteMusic from the start a second time.
#include "tools/content/music.h"

#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"
#include "tools/content/music_dsp.h"
#include "tools/content/music_effects.h"
#include "tools/content/music_score.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace tarvel::content {
namespace {

constexpr int kRate = kMusicSampleRate;
const double kCuts[] = {0.0,   5.0,   10.0,  13.6,  22.3,  31.2,  40.1,  51.2,  66.0,  85.0,  95.4,
                        104.4, 112.7, 130.1, 133.8, 139.4, 145.0, 149.3, 155.0, 158.6, 175.6, 204.4};

struct Decoded {
    bool ok = false;
    std::string error;
    int channels = 0;
    unsigned sampleRate = 0;
    unsigned streamFrames = 0;
    std::vector<float> samples;  // interleaved
};

Decoded Decode(const std::string& path) {
    Decoded d;
    int error = 0;
    stb_vorbis* vorbis = stb_vorbis_open_filename(path.c_str(), &error, nullptr);
    if (!vorbis) {
        d.error = path + ": stb_vorbis error " + std::to_string(error);
        return d;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(vorbis);
    d.channels = info.channels;
    d.sampleRate = info.sample_rate;
    d.streamFrames = stb_vorbis_stream_length_in_samples(vorbis);
    std::vector<float> chunk(8192 * static_cast<size_t>(std::max(1, d.channels)));
    for (;;) {
        const int n = stb_vorbis_get_samples_float_interleaved(vorbis, d.channels, chunk.data(),
                                                               static_cast<int>(chunk.size()));
        if (n <= 0) break;
        d.samples.insert(d.samples.end(), chunk.begin(), chunk.begin() + static_cast<long>(n) * d.channels);
    }
    stb_vorbis_close(vorbis);
    d.ok = true;
    return d;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One synthesis, one file, one decode for every test here.
struct Piece {
    Piece() {
        synthesized = SynthesizeMusic();
        path = dir / "music.ogg";
        written = WriteMusicSamples(path, synthesized, error);
        if (written) decoded = Decode(path);
    }
    jolp::testing::TempDir dir;
    std::vector<float> synthesized;
    std::string path;
    bool written = false;
    std::string error;
    Decoded decoded;
};

const Piece& ThePiece() {
    static const Piece piece;
    return piece;
}

double Rms(const std::vector<float>& s, double from, double to) {
    return MeasureMusic(s, kMusicChannels, kRate, from, to).rms;
}

// A click detector: the largest ratio, over [from, to) of one channel, of
// the third difference x[n] - 3x[n-1] + 3x[n-2] - x[n-3] to the RMS of the
// third differences within 10 ms around it; `at` gets its time. The third
// difference of a tone at f Hz is (2 pi f / 44100)^3 of its amplitude, small
// for everything but the top octave, while a step keeps its full size: a
// discontinuity stands far out of its neighbourhood.
double WorstKinkRatio(const std::vector<float>& s, int channel, double from, double to, double& at) {
    const size_t frames = s.size() / 2;
    const size_t w = kRate / 100;
    const size_t a = std::max<size_t>(w + 4, static_cast<size_t>(from * kRate));
    const size_t b = std::min(frames - w - 1, static_cast<size_t>(to * kRate));
    if (b <= a) return 0.0;
    auto x = [&](size_t f) { return static_cast<double>(s[2 * f + static_cast<size_t>(channel)]); };
    std::vector<double> kink(b - a + 2 * w + 1);
    const size_t base = a - w;
    for (size_t i = 0; i < kink.size(); ++i) {
        const size_t f = base + i;
        kink[i] = x(f) - 3.0 * x(f - 1) + 3.0 * x(f - 2) - x(f - 3);
    }
    std::vector<double> prefix(kink.size() + 1, 0.0);
    for (size_t i = 0; i < kink.size(); ++i) prefix[i + 1] = prefix[i] + kink[i] * kink[i];
    double worst = 0.0;
    for (size_t f = a; f < b; ++f) {
        const size_t i = f - base;
        const double k2 = kink[i] * kink[i];
        const double around = (prefix[i + w + 1] - prefix[i - w] - k2) / static_cast<double>(2 * w);
        // a floor of 1e-5: below -100 dBFS nothing is audible, click or not
        const double ratio = std::fabs(kink[i]) / (std::sqrt(around) + 1e-5);
        if (ratio > worst) {
            worst = ratio;
            at = static_cast<double>(f) / kRate;
        }
    }
    return worst;
}

TEST(MusicFile, IsStereoAt44kHzAndEndsJustAfterTheLastShot) {
    const Piece& p = ThePiece();
    ASSERT_TRUE(p.written) << p.error;
    ASSERT_TRUE(p.decoded.ok) << p.decoded.error;
    EXPECT_EQ(p.decoded.channels, 2);
    EXPECT_EQ(p.decoded.sampleRate, 44100u);
    const double seconds = static_cast<double>(p.decoded.streamFrames) / kRate;
    EXPECT_GE(seconds, 204.4);
    EXPECT_LE(seconds, 206.0);
    EXPECT_EQ(p.decoded.samples.size(), static_cast<size_t>(p.decoded.streamFrames) * 2);
    EXPECT_EQ(p.decoded.streamFrames, MusicFrameCount());
    EXPECT_DOUBLE_EQ(MusicLengthSeconds(), static_cast<double>(MusicFrameCount()) / kRate);
}

TEST(MusicFile, DecodedPeakStaysBelowMinusOneDbfsAndNearIt) {
    const Piece& p = ThePiece();
    ASSERT_TRUE(p.decoded.ok) << p.error << p.decoded.error;
    float peak = 0.0f;
    for (float v : p.decoded.samples) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 0.891f) << "decoded peak " << 20.0 * std::log10(peak) << " dBFS";
    EXPECT_GE(peak, 0.7f) << "the piece is not normalised";
    float synthPeak = 0.0f;
    for (float v : p.synthesized) synthPeak = std::max(synthPeak, std::fabs(v));
    EXPECT_NEAR(synthPeak, 0.841f, 0.01f);
}

TEST(MusicFile, IsTheSynthesisedPieceAndSilentFromTheLastCut) {
    const Piece& p = ThePiece();
    ASSERT_TRUE(p.decoded.ok) << p.error << p.decoded.error;
    ASSERT_EQ(p.decoded.samples.size(), p.synthesized.size());
    // the encoder's error over the main part stays 20 dB under the signal
    const size_t a = 85 * kRate * 2, b = 95 * kRate * 2;
    double signal = 0.0, noise = 0.0;
    for (size_t i = a; i < b; ++i) {
        signal += static_cast<double>(p.synthesized[i]) * p.synthesized[i];
        const double e = static_cast<double>(p.decoded.samples[i]) - p.synthesized[i];
        noise += e * e;
    }
    EXPECT_GT(signal, 100.0 * noise);
    // faded out by the end of the last shot; silent (below -60 dBFS) after
    const MusicLevel tail = MeasureMusic(p.decoded.samples, 2, kRate, kMusicSilentFromSeconds, MusicLengthSeconds());
    EXPECT_LT(tail.peak, 0.001);
    EXPECT_LT(Rms(p.decoded.samples, 202.0, 204.4), 0.1 * Rms(p.decoded.samples, 180.0, 190.0));
}

TEST(MusicFile, SameBytesOnEveryRunAndNoTemporaryLeft) {
    const Piece& p = ThePiece();
    ASSERT_TRUE(p.written) << p.error;
    const std::string second = p.dir / "again.ogg";
    std::string error;
    ASSERT_TRUE(WriteMusic(second, error)) << error;
    const std::string first = ReadBytes(p.path), again = ReadBytes(second);
    EXPECT_GT(first.size(), 1000000u);
    EXPECT_TRUE(first == again) << "the second run wrote different bytes";
    for (const auto& entry : std::filesystem::directory_iterator(p.dir.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "music.ogg" || name == "again.ogg") << "left behind: " << name;
    }
}

TEST(MusicFile, AFolderThatIsNotThereFailsNamingTheFile) {
    jolp::testing::TempDir dir;
    const std::string path = dir / "no such folder/music.ogg";
    std::string error;
    EXPECT_FALSE(WriteMusic(path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

// Filtered noise (hats, claps, risers) and the bells' high partials give
// kink ratios up to about 9 over the piece's 18 million samples; a ratio of
// 16 is a discontinuity: an envelope or a note cut short, not an
// instrument. The check of the detector below shows that a step of 1% of
// full scale in the quiet parts reaches about 30.
TEST(MusicSignal, HasNoClicks) {
    const std::vector<float>& s = ThePiece().synthesized;
    ASSERT_EQ(s.size(), MusicFrameCount() * 2);
    for (int channel = 0; channel < 2; ++channel) {
        double at = 0.0;
        const double worst = WorstKinkRatio(s, channel, 0.0, MusicLengthSeconds(), at);
        EXPECT_LT(worst, 16.0) << "channel " << channel << " at " << at << " s";
    }
    // the loudest legitimate steps are hats and risers near 7 kHz (about
    // 0.45); a jump between opposite peaks would be 1.7
    float largest = 0.0f;
    for (size_t i = 2; i < s.size(); ++i) largest = std::max(largest, std::fabs(s[i] - s[i - 2]));
    EXPECT_LT(largest, 0.6f);

    // the detector sees a step of 1% of full scale in the intro, in the
    // rise and in the ending
    for (double t : {3.0, 12.0, 30.0, 195.0}) {
        SCOPED_TRACE(t);
        const size_t from = static_cast<size_t>((t - 2.0) * kRate), to = static_cast<size_t>((t + 2.0) * kRate);
        std::vector<float> clicked(s.begin() + static_cast<long>(2 * from), s.begin() + static_cast<long>(2 * to));
        for (size_t f = 2 * static_cast<size_t>(kRate); f < clicked.size() / 2; ++f) clicked[2 * f] += 0.01f;
        double at = 0.0;
        EXPECT_GT(WorstKinkRatio(clicked, 0, 1.0, 3.0, at), 16.0);
        EXPECT_NEAR(at, 2.0, 0.001);
    }
}

TEST(MusicSignal, SectionsRiseAndFallAsArranged) {
    const std::vector<float>& s = ThePiece().synthesized;
    std::cout << DescribeMusicLevels(s, kMusicChannels, kRate);
    const double opening = Rms(s, 0.0, 5.0), mainPart = Rms(s, 85.0, 95.0);
    EXPECT_GT(opening, 0.0);
    EXPECT_GT(mainPart, 4.0 * opening) << "the main part is not 12 dB above the opening";
    const double rise = Rms(s, 22.3, 40.1), whole = Rms(s, 85.0, 112.7), lift = Rms(s, 112.7, 130.1);
    const double pause = Rms(s, 130.1, 145.0), finale = Rms(s, 145.0, 175.6);
    EXPECT_GT(whole, 1.5 * rise);
    EXPECT_LT(pause, 0.8 * whole);
    EXPECT_LT(pause, 0.8 * finale);
    EXPECT_GT(lift, 0.8 * whole);
    EXPECT_GT(finale, 0.9 * whole);
    EXPECT_LT(Rms(s, 175.6, 204.4), 0.6 * finale);
}

TEST(MusicSignal, KickArrivesWithTheMainPart) {
    // low band (two one-pole low-passes near 120 Hz) of the mid signal
    const std::vector<float>& s = ThePiece().synthesized;
    const double k = 1.0 - std::exp(-2.0 * 3.14159265358979 * 120.0 / kRate);
    std::vector<float> low(s.size());
    double y1 = 0.0, y2 = 0.0;
    for (size_t f = 0; f < s.size() / 2; ++f) {
        y1 += k * (0.5 * (s[2 * f] + s[2 * f + 1]) - y1);
        y2 += k * (y1 - y2);
        low[2 * f] = low[2 * f + 1] = static_cast<float>(y2);
    }
    const double before = Rms(low, 83.8, 85.0), after = Rms(low, 85.0, 87.0);
    EXPECT_GT(after, 2.0 * before) << "low band before 85 s " << before << ", after " << after;
    // and no kick in the break
    EXPECT_LT(Rms(low, 131.0, 144.0), 0.5 * Rms(low, 120.0, 130.0));
}

TEST(MusicSignal, IsStereo) {
    const std::vector<float>& s = ThePiece().synthesized;
    double ll = 0.0, rr = 0.0, lr = 0.0;
    for (size_t f = 85 * kRate; f < 112 * static_cast<size_t>(kRate); ++f) {
        const double l = s[2 * f], r = s[2 * f + 1];
        ll += l * l;
        rr += r * r;
        lr += l * r;
    }
    const double correlation = lr / std::sqrt(ll * rr);
    EXPECT_LT(correlation, 0.98);
    EXPECT_GT(correlation, 0.3);
}

TEST(MusicSections, ChangeOnCutsOfTheEdit) {
    const std::vector<MusicSection>& sections = MusicSections();
    ASSERT_FALSE(sections.empty());
    EXPECT_EQ(sections.front().startSeconds, 0.0);
    EXPECT_LE(sections.back().endSeconds, kMusicSilentFromSeconds);
    bool mainAt85 = false;
    for (size_t i = 0; i < sections.size(); ++i) {
        const MusicSection& s = sections[i];
        SCOPED_TRACE(s.name);
        if (i > 0) {
            EXPECT_EQ(s.startSeconds, sections[i - 1].endSeconds);
            EXPECT_LT(std::fabs(s.Bpm() / sections[i - 1].Bpm() - 1.0), 0.06) << "tempo jumps";
        }
        const bool onCut = std::any_of(std::begin(kCuts), std::end(kCuts),
                                       [&](double c) { return std::fabs(c - s.startSeconds) < 1e-9; });
        EXPECT_TRUE(onCut) << "starts at " << s.startSeconds << " s, not on a cut";
        EXPECT_GT(s.bars, 0);
        EXPECT_GE(s.Bpm(), 100.0);
        EXPECT_LE(s.Bpm(), 120.0);
        if (s.startSeconds == 85.0) mainAt85 = std::string(s.name) == "main";
    }
    EXPECT_TRUE(mainAt85) << "no main part from 85 s";
}


// Amplitude of the component at hz in x (Goertzel).
double ToneAmplitude(const std::vector<double>& x, double hz) {
    const double w = 2.0 * 3.14159265358979 * hz / kRate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double re = s1 - s2 * std::cos(w), im = s2 * std::sin(w);
    return 2.0 * std::sqrt(re * re + im * im) / static_cast<double>(x.size());
}

TEST(MusicDsp, OwnMathAgreesWithTheLibrary) {
    for (double t = -3.0; t <= 3.0; t += 0.0137) {
        EXPECT_NEAR(music::SinTurns(t), std::sin(2.0 * 3.14159265358979323846 * t), 2e-7) << t;
        EXPECT_NEAR(music::CosTurns(t), std::cos(2.0 * 3.14159265358979323846 * t), 2e-7) << t;
    }
    for (double x = -60.0; x <= 60.0; x += 0.173) EXPECT_NEAR(music::Exp(x) / std::exp(x), 1.0, 1e-11) << x;
    EXPECT_EQ(music::Exp(-800.0), 0.0);
    EXPECT_NEAR(music::NoteHz(69.0), 440.0, 1e-9);
    EXPECT_NEAR(music::NoteHz(57.0), 220.0, 1e-9);
    EXPECT_NEAR(music::NoteHz(62.0), 293.6647679, 1e-6);
}

TEST(MusicDsp, SoftClipIsLinearThenBendsSmoothlyToOne) {
    EXPECT_EQ(music::SoftClip(0.5f, 0.75f), 0.5f);
    EXPECT_EQ(music::SoftClip(-0.75f, 0.75f), -0.75f);
    float last = music::SoftClip(-2.0f, 0.75f);
    for (float x = -2.0f; x <= 2.0f; x += 0.001f) {
        const float y = music::SoftClip(x, 0.75f);
        EXPECT_LE(std::fabs(y), 1.0f);
        EXPECT_GE(y, last - 1e-7f) << x;  // never turns back
        EXPECT_LT(y - last, 0.0015f) << x;  // slope at most 1: no kink upwards
        last = y;
    }
    EXPECT_NEAR(music::SoftClip(1.5f, 0.75f), 1.0f, 1e-6f);
}

TEST(MusicDsp, EnvelopesStartAndEndAtZeroWithoutSteps) {
    music::Adsr adsr;
    adsr.attack = 0.004;
    adsr.decay = 0.1;
    adsr.sustain = 0.6;
    adsr.release = 0.05;
    for (double hold : {0.002, 0.3}) {  // released during the attack, and after it
        SCOPED_TRACE(hold);
        EXPECT_EQ(adsr.Level(0.0, hold), 0.0);
        EXPECT_NEAR(adsr.Level(adsr.Length(hold), hold), 0.0, 1e-12);
        EXPECT_EQ(adsr.Level(adsr.Length(hold) + 0.001, hold), 0.0);
        double last = 0.0, largest = 0.0;
        for (double t = 0.0; t <= adsr.Length(hold); t += 1.0 / kRate) {
            const double v = adsr.Level(t, hold);
            largest = std::max(largest, std::fabs(v - last));
            last = v;
        }
        // the steepest part is the 4 ms attack: 1/176 per sample
        EXPECT_LT(largest, 1.0 / 170.0);
    }
}

TEST(MusicDsp, SawtoothIsBandLimited) {
    // 3 kHz: in a naive saw the 15th harmonic (45 kHz) folds to 900 Hz and
    // the 22nd (66 kHz) to 2.1 kHz, under the note, where aliasing is heard
    const double dt = 3000.0 / kRate;
    music::Saw saw;
    std::vector<double> blep, naive;
    double phase = 0.0;
    for (int i = 0; i < 8192; ++i) {
        blep.push_back(saw.Next(dt));
        naive.push_back(2.0 * phase - 1.0);
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
    }
    EXPECT_NEAR(ToneAmplitude(blep, 3000.0), 2.0 / 3.14159265358979, 0.05);  // the fundamental stays
    for (double alias : {900.0, 2100.0}) {
        EXPECT_GT(ToneAmplitude(naive, alias), 0.03);
        EXPECT_LT(ToneAmplitude(blep, alias), 0.05 * ToneAmplitude(naive, alias)) << alias;
    }
}

TEST(MusicDsp, FilterPassesBelowAndCutsAboveItsCutoff) {
    auto through = [](double hz) {
        music::Svf f;
        f.Set(1000.0, 0.707);
        std::vector<double> out;
        for (int i = 0; i < 8820; ++i) {
            f.Process(music::SinTurns(hz * i / kRate));
            if (i >= 4410) out.push_back(f.low);
        }
        return ToneAmplitude(out, hz);
    };
    EXPECT_NEAR(through(100.0), 1.0, 0.02);
    EXPECT_NEAR(through(1000.0), 0.707, 0.03);
    EXPECT_LT(through(8000.0), 0.02);  // 12 dB per octave: 1/64 three octaves up
}

TEST(MusicEffects, EchoRepeatsOnAlternateSidesAndReverbDiesAway) {
    const size_t n = 5 * kRate;
    std::vector<float> send(n, 0.0f), left(n, 0.0f), right(n, 0.0f), toReverb(n, 0.0f);
    send[100] = 1.0f;
    music::ApplyEcho(send, 0.5, 0.5f, left, right, toReverb, 0.0f);
    const size_t d = kRate / 2;
    EXPECT_GT(left[100 + d], 0.5f);
    EXPECT_EQ(right[100 + d], 0.0f);
    EXPECT_GT(right[100 + 2 * d], 0.5f);
    float third = 0.0f;  // back on the left, fed back once (darkened, so spread over a few samples)
    for (size_t i = 100 + 3 * d; i < 100 + 3 * d + 20; ++i) third += left[i];
    EXPECT_NEAR(third, 0.8f * 0.5f, 0.02f);
    EXPECT_EQ(left[99 + d], 0.0f);

    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    music::ApplyReverb(send, 1.0f, left, right);
    const std::vector<float> both = [&] {
        std::vector<float> v(2 * n);
        for (size_t i = 0; i < n; ++i) {
            v[2 * i] = left[i];
            v[2 * i + 1] = right[i];
        }
        return v;
    }();
    const double early = Rms(both, 0.0, 0.5), late = Rms(both, 4.0, 5.0);
    EXPECT_GT(early, 0.0);
    EXPECT_LT(late, 0.001 * early);  // 60 dB down within four seconds
    EXPECT_NE(left[3000], right[3000]);  // the two sides differ
}

TEST(MusicScore, NotesStayInTheKeyAndInsideThePiece) {
    const music::TempoMap tempo(MusicSections());
    EXPECT_EQ(tempo.BarSeconds(0), 0.0);
    EXPECT_NEAR(tempo.BarSeconds(tempo.Bars()), MusicSections().back().endSeconds, 1e-9);
    for (int bar = 1; bar <= tempo.Bars(); ++bar) EXPECT_GT(tempo.BarSeconds(bar), tempo.BarSeconds(bar - 1));
    const music::Score score = music::BuildScore(tempo);
    // D natural minor, and the C sharp of the A major chord
    auto inKey = [](double pitch) {
        const int pc = static_cast<int>(std::lround(pitch)) % 12;
        return pc == 2 || pc == 4 || pc == 5 || pc == 7 || pc == 9 || pc == 10 || pc == 0 || pc == 1;
    };
    const std::vector<const std::vector<music::Note>*> voices = {&score.pad,  &score.bass,  &score.lead,
                                                                 &score.harmony, &score.pluck, &score.bell};
    for (const auto* voice : voices) {
        ASSERT_FALSE(voice->empty());
        for (const music::Note& n : *voice) {
            EXPECT_TRUE(inKey(n.pitch)) << n.pitch << " at " << n.start;
            EXPECT_GT(n.length, 0.0);
            EXPECT_GE(n.start, 0.0);
            EXPECT_LT(n.start + n.length, kMusicSilentFromSeconds) << "note at " << n.start;
            EXPECT_GE(n.pitch, 30.0);
            EXPECT_LE(n.pitch, 100.0);
        }
    }
    // the C sharp of the A chord never sounds against a C natural
    std::vector<const music::Note*> sharps, naturals;
    for (const auto* voice : voices) {
        for (const music::Note& n : *voice) {
            const int pc = static_cast<int>(std::lround(n.pitch)) % 12;
            if (pc == 1) sharps.push_back(&n);
            if (pc == 0) naturals.push_back(&n);
        }
    }
    EXPECT_FALSE(sharps.empty());
    for (const music::Note* sharp : sharps) {
        for (const music::Note* natural : naturals) {
            const double overlap = std::min(sharp->start + sharp->length, natural->start + natural->length) -
                                   std::max(sharp->start, natural->start);
            EXPECT_LT(overlap, 0.01) << "C sharp " << sharp->pitch << " at " << sharp->start << " against C "
                                     << natural->pitch << " at " << natural->start;
        }
    }
    for (const auto* hits : {&score.kick, &score.clap, &score.hat, &score.openHat, &score.crash}) {
        ASSERT_FALSE(hits->empty());
        for (const music::Hit& h : *hits) EXPECT_LT(h.time, score.fadeEnd);
    }
    EXPECT_LE(score.fadeEnd, kMusicSilentFromSeconds);
}

// ---- jolp_ogg ---------------------------------------------------------------

const std::string kJolpOgg = JOLP_OGG_BINARY;

// A sine of hz at 0.5 of full scale, frames long, on every channel.
std::vector<float> Sine(int rate, int channels, size_t frames, double hz) {
    std::vector<float> s(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            s[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                0.5f * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
        }
    }
    return s;
}

void PutLe(std::string& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// samples as little-endian PCM: bits 8 (unsigned), 16, 24 or 32, or float.
std::string PcmBytes(const std::vector<float>& samples, int bits, bool isFloat) {
    std::string out;
    for (float v : samples) {
        if (isFloat) {
            uint32_t u;
            std::memcpy(&u, &v, 4);
            PutLe(out, u, 4);
        } else if (bits == 8) {
            out += static_cast<char>(static_cast<uint8_t>(std::lround(v * 127.0f) + 128));
        } else {
            const double scale = std::ldexp(1.0, bits - 1) - 1.0;
            PutLe(out, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * scale))), bits / 8);
        }
    }
    return out;
}

// A RIFF WAVE file; tag 0xFFFE writes the extensible form with the real
// tag in its sub-format.
std::string Wav(int rate, int channels, int bits, uint16_t tag, const std::string& data) {
    const bool extensible = tag == 0xFFFE;
    std::string fmt;
    PutLe(fmt, tag, 2);
    PutLe(fmt, static_cast<uint32_t>(channels), 2);
    PutLe(fmt, static_cast<uint32_t>(rate), 4);
    PutLe(fmt, static_cast<uint32_t>(rate * channels * bits / 8), 4);
    PutLe(fmt, static_cast<uint32_t>(channels * bits / 8), 2);
    PutLe(fmt, static_cast<uint32_t>(bits), 2);
    if (extensible) {
        PutLe(fmt, 22, 2);
        PutLe(fmt, static_cast<uint32_t>(bits), 2);
        PutLe(fmt, 3, 4);
        PutLe(fmt, bits == 32 ? 3 : 1, 2);
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string body = "WAVE";
    body += "fmt ";
    PutLe(body, static_cast<uint32_t>(fmt.size()), 4);
    body += fmt;
    body += "LIST";  // a chunk of another kind before the samples is skipped
    PutLe(body, 3, 4);
    body += std::string("abc\0", 4);
    body += "data";
    PutLe(body, static_cast<uint32_t>(data.size()), 4);
    body += data;
    std::string file = "RIFF";
    PutLe(file, static_cast<uint32_t>(body.size()), 4);
    return file + body;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// How far the decoded signal strays from the source, as RMS of the
// difference over the RMS of the source, past the encoder's first block.
double RelativeError(const std::vector<float>& source, const std::vector<float>& decoded) {
    const size_t n = std::min(source.size(), decoded.size());
    double diff = 0.0, ref = 0.0;
    for (size_t i = 4096; i < n; ++i) {
        diff += (decoded[i] - source[i]) * (decoded[i] - source[i]);
        ref += source[i] * source[i];
    }
    return ref > 0.0 ? std::sqrt(diff / ref) : 1.0;
}

TEST(OggTool, EveryWavSampleFormatBecomesTheSameSoundAtItsRate) {
    struct Case {
        const char* what;
        int rate, channels, bits;
        uint16_t tag;
    };
    const Case cases[] = {{"16-bit stereo", 44100, 2, 16, 1},      {"8-bit mono", 22050, 1, 8, 1},
                          {"24-bit stereo", 48000, 2, 24, 1},      {"32-bit mono", 32000, 1, 32, 1},
                          {"float stereo", 48000, 2, 32, 3},       {"extensible 16-bit", 44100, 2, 16, 0xFFFE},
                          {"extensible float", 96000, 1, 32, 0xFFFE}};
    jolp::testing::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t frames = static_cast<size_t>(c.rate) / 2;
        const std::vector<float> source = Sine(c.rate, c.channels, frames, 441.0);
        const bool isFloat = c.tag == 3 || (c.tag == 0xFFFE && c.bits == 32);
        WriteBytes(dir / "in.wav", Wav(c.rate, c.channels, c.bits, c.tag, PcmBytes(source, c.bits, isFloat)));
        const auto r = jolp::testing::RunProcess(kJolpOgg, {dir / "in.wav", dir / "out.ogg"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Decoded d = Decode(dir / "out.ogg");
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.channels, c.channels);
        EXPECT_EQ(d.sampleRate, static_cast<unsigned>(c.rate));
        EXPECT_EQ(d.streamFrames, frames);
        // 8-bit samples carry their own noise; the rest only the encoder's.
        EXPECT_LT(RelativeError(source, d.samples), c.bits == 8 ? 0.1 : 0.05);
    }
}

TEST(OggTool, RawPcmToneAndSilenceHaveTheirLengths) {
    jolp::testing::TempDir dir;
    const std::vector<float> source = Sine(22050, 2, 11025, 300.0);
    WriteBytes(dir / "in.pcm", PcmBytes(source, 16, false) + "x");  // a byte past the last frame
    auto r = jolp::testing::RunProcess(kJolpOgg, {"--raw", "s16le:22050:2", dir / "in.pcm", dir / "raw.ogg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("1 bytes after the last whole frame"), std::string::npos) << r.err;
    Decoded d = Decode(dir / "raw.ogg");
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.sampleRate, 22050u);
    EXPECT_EQ(d.streamFrames, 11025u);
    EXPECT_LT(RelativeError(source, d.samples), 0.05);

    r = jolp::testing::RunProcess(kJolpOgg, {"--tone", "1.5", "--hz", "880", dir / "tone.ogg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    d = Decode(dir / "tone.ogg");
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.streamFrames, 66150u);
    float peak = 0.0f;
    for (float v : d.samples) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, 0.25f, 0.03f);

    r = jolp::testing::RunProcess(kJolpOgg, {"--silence", "2", dir / "silence.ogg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    d = Decode(dir / "silence.ogg");
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.streamFrames, 88200u);
    for (float v : d.samples) ASSERT_LT(std::fabs(v), 1e-4f);
}

TEST(OggTool, RefusesWhatItCannotTakeNamingTheFileAndWritesNothing) {
    jolp::testing::TempDir dir;
    const std::string in = dir / "in.wav";
    const std::string out = dir / "out.ogg";
    const std::string samples = PcmBytes(Sine(44100, 1, 1000, 440.0), 16, false);
    struct Case {
        const char* what;
        std::string bytes;
        const char* says;
    };
    std::string noData = Wav(44100, 2, 16, 1, "");
    noData.resize(noData.size() - 8);  // the data chunk's header gone
    const Case cases[] = {
        {"text", "hello, world\n", "not a WAV file"},
        {"three channels", Wav(44100, 3, 16, 1, samples), "3 channels"},
        {"a rate too low", Wav(4000, 1, 16, 1, samples), "4000 Hz"},
        {"ADPCM", Wav(44100, 1, 4, 2, samples), "format 2 of 4 bits"},
        {"a cut fmt chunk", Wav(44100, 1, 16, 1, samples).substr(0, 24), "fmt chunk is cut short"},
        {"no data chunk", noData, "no data chunk"},
        {"no samples", Wav(44100, 1, 16, 1, ""), "no samples"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(in, c.bytes);
        const auto r = jolp::testing::RunProcess(kJolpOgg, {in, out});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.rfind("jolp_ogg: " + in + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // The output's own faults name the output.
    WriteBytes(in, Wav(44100, 1, 16, 1, samples));
    auto r = jolp::testing::RunProcess(kJolpOgg, {in, dir / "no such folder/out.ogg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(dir / "no such folder/out.ogg"), std::string::npos) << r.err;
    std::filesystem::create_symlink(dir / "elsewhere.ogg", out);
    r = jolp::testing::RunProcess(kJolpOgg, {"--tone", "1", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(out + ": is a link"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere.ogg"));
    // A bad command line is told apart (2) and points to --help.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--tone", "0", out}, {"--raw", "s16le:44100", in, out}, {"--hz", "100", in, out},
          {"--tone", "1", "--silence", "1", out}, {in}}) {
        r = jolp::testing::RunProcess(kJolpOgg, args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << ": " << r.err;
    }
}

}  // namespace
}  // namespace tarvel::content
