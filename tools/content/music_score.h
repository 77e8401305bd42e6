// music_score.h - the demo's piece as notes: the tempo map that puts the
// section changes on the picture's cuts, and every note and drum hit of
// the arrangement in seconds.
//
// The score is data only; music_voices.cpp turns it into sound. Owned by
// the music generator.
#pragma once

#include "tools/content/music.h"

#include <vector>

namespace tarvel::content::music {

// Beats to seconds. Every section holds a whole number of 4/4 bars at its
// own steady tempo, so each section starts exactly on its cut and the tempo
// moves by a few BPM at most between sections.
class TempoMap {
public:
    explicit TempoMap(const std::vector<MusicSection>& sections);
    double Seconds(double beat) const;
    double BarSeconds(int bar) const { return Seconds(4.0 * bar); }
    int Bars() const { return bars_; }
    // The section a bar belongs to, and the bar's index inside it.
    int SectionOf(int bar) const;
    int BarInSection(int bar) const;

private:
    std::vector<MusicSection> sections_;
    std::vector<int> firstBar_;
    int bars_ = 0;
};

// One pitched note. start and length in seconds; pitch as a note number
// (69 = A4, fractions allowed); velocity 0..1; pan -1 (left) .. 1 (right);
// tone is instrument-specific brightness (a filter cutoff in Hz for pads).
struct Note {
    double start = 0.0;
    double length = 0.0;
    double pitch = 60.0;
    float velocity = 1.0f;
    float pan = 0.0f;
    float tone = 0.0f;
};

// One drum hit at time seconds.
struct Hit {
    double time = 0.0;
    float velocity = 1.0f;
    float pan = 0.0f;
};

// A noise sweep rising from start to end seconds.
struct Sweep {
    double start = 0.0;
    double end = 0.0;
    float level = 1.0f;
};

struct Score {
    std::vector<Note> pad, bass, lead, harmony, pluck, bell;
    std::vector<Hit> kick, clap, hat, openHat, shaker, crash;
    std::vector<Sweep> risers;
    // Slow band-passed noise under the quiet sections, like wind in the valley.
    std::vector<Sweep> winds;
    // The master fade-out runs from fadeStart to fadeEnd (seconds).
    double fadeStart = 0.0;
    double fadeEnd = 0.0;
};

Score BuildScore(const TempoMap& tempo);

}  // namespace tarvel::content::music
