// music.cpp - renders the score through the instruments and effects,
// masters it (DC blocker, fade-out, gentle soft clip, peak normalisation)
// and writes it as Ogg Vorbis.
#include "tools/content/music.h"

#include "platform/file_write.h"

#include "tools/content/music_dsp.h"
#include "tools/content/music_effects.h"
#include "tools/content/music_score.h"
#include "tools/content/music_voices.h"
#include "tools/vorbis_writer.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tarvel::content {
namespace {

// Final peak after mastering: -1.5 dBFS, which leaves room for the
// encoder's overshoot under the -1 dBFS the decoded file must keep.
constexpr float kTargetPeak = 0.8414f;

void Render(const music::Score& score, music::Buses& buses) {
    music::Instruments play(buses);
    std::vector<double> kicks;
    for (const music::Hit& h : score.kick) kicks.push_back(h.time);
    std::sort(kicks.begin(), kicks.end());
    play.DuckUnder(std::move(kicks));
    for (const music::Note& n : score.pad) play.Pad(n);
    for (const music::Note& n : score.bass) play.Bass(n);
    for (const music::Note& n : score.lead) play.Lead(n);
    for (const music::Note& n : score.harmony) play.Lead(n);
    for (const music::Note& n : score.pluck) play.Pluck(n);
    for (const music::Note& n : score.bell) play.Bell(n);
    for (const music::Hit& h : score.kick) play.Kick(h);
    for (const music::Hit& h : score.clap) play.Clap(h);
    for (const music::Hit& h : score.hat) play.Hat(h, false);
    for (const music::Hit& h : score.openHat) play.Hat(h, true);
    for (const music::Hit& h : score.shaker) play.Shaker(h);
    for (const music::Hit& h : score.crash) play.Crash(h);
    for (const music::Sweep& s : score.risers) play.Riser(s);
    for (const music::Sweep& s : score.winds) play.Wind(s);
}

// Fade gain at time t: 1 before the fade, a half cosine down to 0 at its
// end, 0 after.
double FadeGain(const music::Score& score, double t) {
    if (t <= score.fadeStart) return 1.0;
    if (t >= score.fadeEnd) return 0.0;
    const double u = (t - score.fadeStart) / (score.fadeEnd - score.fadeStart);
    return 0.5 * (1.0 + music::CosTurns(0.5 * u));
}

std::vector<float> Master(const music::Score& score, music::Buses& buses) {
    const size_t frames = buses.frames;
    // DC blocker, one pole near 12 Hz
    const double pole = 1.0 - 2.0 * music::kPi * 12.0 / music::kSampleRate;
    double xl = 0.0, yl = 0.0, xr = 0.0, yr = 0.0;
    float peak = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        const double gain = FadeGain(score, static_cast<double>(i) / music::kSampleRate);
        const double l = buses.left[i], r = buses.right[i];
        yl = l - xl + pole * yl;
        xl = l;
        yr = r - xr + pole * yr;
        xr = r;
        buses.left[i] = static_cast<float>(yl * gain);
        buses.right[i] = static_cast<float>(yr * gain);
        peak = std::max({peak, std::fabs(buses.left[i]), std::fabs(buses.right[i])});
    }
    std::vector<float> out(frames * 2);
    if (peak <= 0.0f) return out;
    // Drive the loudest peaks 25% past full scale into the soft knee, then
    // scale the result to the target peak.
    const float drive = 1.25f / peak;
    float clipped = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        out[2 * i] = music::SoftClip(buses.left[i] * drive, 0.75f);
        out[2 * i + 1] = music::SoftClip(buses.right[i] * drive, 0.75f);
        clipped = std::max({clipped, std::fabs(out[2 * i]), std::fabs(out[2 * i + 1])});
    }
    const float scale = kTargetPeak / clipped;
    for (float& v : out) v *= scale;
    return out;
}

}  // namespace

double MusicLengthSeconds() { return kMusicLengthSeconds; }

size_t MusicFrameCount() { return static_cast<size_t>(kMusicLengthSeconds * kMusicSampleRate + 0.5); }

std::vector<float> SynthesizeMusic() {
    const music::TempoMap tempo(MusicSections());
    const music::Score score = music::BuildScore(tempo);
    music::Buses buses(MusicFrameCount());
    Render(score, buses);
    // the echo repeats on the dotted eighth of the mean tempo (about 111 BPM)
    music::ApplyEcho(buses.echo, 0.405, 0.42f, buses.left, buses.right, buses.reverb, 0.25f);
    music::ApplyReverb(buses.reverb, 2.6f, buses.left, buses.right);
    std::vector<float>().swap(buses.reverb);  // the sends are spent; free them before the output is made
    std::vector<float>().swap(buses.echo);
    return Master(score, buses);
}

namespace {

bool Encode(const std::string& path, const std::vector<float>& samples, std::string& error) {
    jolp::tools::VorbisSettings settings;
    settings.channels = kMusicChannels;
    settings.sampleRate = kMusicSampleRate;
    settings.quality = 0.5f;
    // Written beside its name and renamed into place when whole.
    return jolp::tools::WriteOggVorbis(path, samples.data(), samples.size() / kMusicChannels, settings, error);
}

}  // namespace

bool WriteMusic(const std::string& path, std::string& error) {
    // Make sure the folder takes the file before spending seconds on it.
    jolp::OutputFile probe;
    if (!probe.Open(path, error)) return false;
    probe.Abandon();
    return Encode(path, SynthesizeMusic(), error);
}

bool WriteMusicSamples(const std::string& path, const std::vector<float>& samples, std::string& error) {
    return Encode(path, samples, error);
}

MusicLevel MeasureMusic(const std::vector<float>& samples, int channels, int sampleRate, double from, double to) {
    MusicLevel level;
    if (channels <= 0 || sampleRate <= 0) return level;
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    const size_t a = std::min(frames, static_cast<size_t>(std::max(0.0, from) * sampleRate));
    const size_t b = std::min(frames, static_cast<size_t>(std::max(0.0, to) * sampleRate));
    if (b <= a) return level;
    double sum = 0.0;
    for (size_t i = a * static_cast<size_t>(channels); i < b * static_cast<size_t>(channels); ++i) {
        const double v = samples[i];
        sum += v * v;
        level.peak = std::max(level.peak, std::fabs(v));
    }
    level.rms = std::sqrt(sum / static_cast<double>((b - a) * static_cast<size_t>(channels)));
    return level;
}

std::string DescribeMusicLevels(const std::vector<float>& samples, int channels, int sampleRate) {
    auto db = [](double v) { return v > 0.0 ? 20.0 * std::log10(v) : -999.0; };
    std::string text = "section      from     to    bpm   rms dBFS  peak dBFS\n";
    char line[128];
    auto row = [&](const char* name, double from, double to, double bpm) {
        const MusicLevel l = MeasureMusic(samples, channels, sampleRate, from, to);
        std::snprintf(line, sizeof line, "%-10s %6.1f %6.1f %6.1f %9.1f %10.1f\n", name, from, to, bpm, db(l.rms),
                      db(l.peak));
        text += line;
    };
    for (const MusicSection& s : MusicSections()) row(s.name, s.startSeconds, s.endSeconds, s.Bpm());
    row("tail", kMusicSilentFromSeconds, kMusicLengthSeconds, 0.0);
    return text;
}

}  // namespace tarvel::content
