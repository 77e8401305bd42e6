// music_score.cpp - the arrangement: D minor, chords per bar, the two
// melodies, bass lines and drum patterns of each section.
#include "tools/content/music_score.h"

#include "tools/content/music_dsp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <utility>

namespace tarvel::content {

const std::vector<MusicSection>& MusicSections() {
    // Each section a whole number of bars between two cuts; the tempi come
    // out between 107.6 and 113.7 BPM.
    static const std::vector<MusicSection> sections = {
        {"intro", 0.0, 22.3, 10},     // pads from silence, a bell from bar 5
        {"rise", 22.3, 40.1, 8},      // bass and plucks; shaker from 31.2 s
        {"pulse", 40.1, 66.0, 12},    // half-time kick and hats; the full beat from bar 6 (51 s)
        {"build", 66.0, 85.0, 9},     // the second progression, roll and riser
        {"main", 85.0, 112.7, 13},    // full drums, the lead's first melody
        {"lift", 112.7, 130.1, 8},    // the second melody over the minor turn
        {"break", 130.1, 145.0, 7},   // no drums: pads, slow lead
        {"finale", 145.0, 175.6, 14}, // full again, the lead doubled in thirds
        {"ending", 175.6, 204.4, 13}, // drums stop, the melody slowed, fade
    };
    return sections;
}

namespace music {

TempoMap::TempoMap(const std::vector<MusicSection>& sections) : sections_(sections) {
    for (const MusicSection& s : sections_) {
        firstBar_.push_back(bars_);
        bars_ += s.bars;
    }
}

double TempoMap::Seconds(double beat) const {
    const double bar = beat / 4.0;
    size_t i = 0;
    while (i + 1 < sections_.size() && bar >= firstBar_[i + 1]) ++i;
    const MusicSection& s = sections_[i];
    const double secondsPerBar = (s.endSeconds - s.startSeconds) / s.bars;
    return s.startSeconds + (bar - firstBar_[i]) * secondsPerBar;
}

int TempoMap::SectionOf(int bar) const {
    int i = 0;
    while (i + 1 < static_cast<int>(sections_.size()) && bar >= firstBar_[static_cast<size_t>(i) + 1]) ++i;
    return i;
}

int TempoMap::BarInSection(int bar) const { return bar - firstBar_[static_cast<size_t>(SectionOf(bar))]; }

namespace {

enum Section { kIntro, kRise, kPulse, kBuild, kMain, kLift, kBreak, kFinale, kEnding };

struct Chord {
    int bass;                 // root, bass register
    std::array<int, 4> pad;   // voicing: a low root and three close voices
    std::array<int, 4> arp;   // tones the plucks and bells run through
};

enum ChordName { Dm, Bb, F, C, Gm, A };

const Chord kChords[] = {
    {38, {50, 62, 65, 69}, {62, 65, 69, 74}},  // Dm
    {34, {46, 62, 65, 70}, {58, 62, 65, 70}},  // Bb
    {41, {53, 60, 65, 69}, {60, 65, 69, 72}},  // F
    {36, {48, 60, 64, 67}, {60, 64, 67, 72}},  // C
    {43, {55, 62, 67, 70}, {62, 67, 70, 74}},  // Gm
    {45, {57, 61, 64, 69}, {61, 64, 69, 73}},  // A
};

// The chord of every bar, 94 bars.
std::vector<ChordName> Progression() {
    std::vector<ChordName> p;
    auto add = [&](std::initializer_list<ChordName> chords, int times = 1) {
        for (int i = 0; i < times; ++i) p.insert(p.end(), chords);
    };
    add({Dm, Dm, Bb, Bb, F, F, C, C, Gm, A});      // intro, chords at half speed
    add({Dm, Bb, F, C}, 2);                        // rise
    add({Dm, Bb, F, C}, 3);                        // pulse
    add({Gm, Dm, Bb, A}, 2);                       // build
    add({A});                                      //   held dominant under the roll
    add({Dm, Bb, F, C}, 3);                        // main
    add({C});                                      //   drum fill
    add({Gm, Dm, Bb, A}, 2);                       // lift
    add({Bb, F, C, Dm, Bb, C, A});                 // break
    add({Dm, Bb, F, C}, 3);                        // finale
    add({Gm, A});                                  //
    add({Dm, Dm, Bb, Bb, F, F, C, C, Dm, Dm, Dm, Dm, Dm});  // ending
    return p;
}

// A melody note: start and length in beats from the phrase's start.
struct MelodyNote {
    double beat;
    double length;
    int pitch;
};

// Over Dm Bb F C, twice: a question and its answer.
const MelodyNote kMelodyA[] = {
    {0, 1, 74},     {1, 0.5, 77},   {1.5, 1.5, 81}, {3, 0.5, 79},  {3.5, 0.5, 77},                  // Dm
    {4, 2, 74},     {6, 1, 77},     {7, 0.5, 74},   {7.5, 0.5, 72},                                 // Bb
    {8, 1.5, 72},   {9.5, 0.5, 69}, {10, 1, 72},    {11, 1, 77},                                    // F
    {12, 3, 76},    {15, 0.5, 74},  {15.5, 0.5, 72},                                                // C
    {16, 1, 74},    {17, 0.5, 77},  {17.5, 1.5, 81}, {19, 1, 84},                                   // Dm
    {20, 1.5, 82},  {21.5, 0.5, 81}, {22, 2, 77},                                                   // Bb
    {24, 1, 81},    {25, 0.5, 79},  {25.5, 0.5, 77}, {26, 1, 76},  {27, 1, 77},                     // F
    {28, 1, 79},    {29, 2, 76},                                                                    // C
};

// Over Gm Dm Bb A, twice.
const MelodyNote kMelodyB[] = {
    {0, 1.5, 82},   {1.5, 0.5, 81}, {2, 1, 79},     {3, 1, 74},                                     // Gm
    {4, 1.5, 77},   {5.5, 0.5, 76}, {6, 1, 74},     {7, 1, 69},                                     // Dm
    {8, 1, 70},     {9, 1, 74},     {10, 1, 77},    {11, 1, 82},                                    // Bb
    {12, 2, 81},    {14, 0.5, 79},  {14.5, 0.5, 76}, {15, 1, 73},                                   // A
    {16, 1.5, 82},  {17.5, 0.5, 81}, {18, 1, 79},   {19, 1, 86},                                    // Gm
    {20, 1.5, 84},  {21.5, 0.5, 81}, {22, 2, 77},                                                   // Dm
    {24, 1, 77},    {25, 0.5, 79},  {25.5, 0.5, 81}, {26, 2, 82},                                   // Bb
    {28, 3, 81},                                                                                    // A
};

// The break: long notes over Bb F C Dm Bb C A.
const MelodyNote kMelodyBreak[] = {
    {0, 2, 77},  {2, 2, 74},  {4, 3, 72},  {7, 1, 69},  {8, 2, 76},  {10, 2, 79},
    {12, 3, 77}, {15, 1, 76}, {16, 4, 74}, {20, 2, 76}, {22, 2, 72}, {24, 4, 73},
};

// The note a diatonic third below in D minor (C sharp over the A chord).
int ThirdBelow(int pitch, ChordName chord) {
    static const int kScale[] = {0, 2, 3, 5, 7, 8, 10};  // D natural minor from D
    const int rel = ((pitch - 2) % 12 + 12) % 12;
    const int octave = (pitch - 2 - rel) / 12;
    int degree = 0;
    for (int i = 0; i < 7; ++i)
        if (kScale[i] <= rel) degree = i;
    int target = degree - 2;
    int oct = octave;
    if (target < 0) {
        target += 7;
        --oct;
    }
    int note = 2 + 12 * oct + kScale[target];
    if (chord == A && (note % 12) == 0) note += 1;  // C -> C sharp
    return note;
}

class Arranger {
public:
    explicit Arranger(const TempoMap& tempo) : tempo_(tempo), chords_(Progression()), random_(0x7A11E5u) {}

    Score Build() {
        Pads();
        Bass();
        Drums();
        Melodies();
        Plucks();
        Bells();
        Effects();
        score_.fadeStart = 197.0;
        score_.fadeEnd = 203.9;
        return std::move(score_);
    }

private:
    double T(double beat) const { return tempo_.Seconds(beat); }
    Section SectionOf(int bar) const { return static_cast<Section>(tempo_.SectionOf(bar)); }
    int Bars() const { return tempo_.Bars(); }
    const Chord& ChordAt(int bar) const { return kChords[chords_[static_cast<size_t>(bar)]]; }
    float Jitter(float amount) { return static_cast<float>((random_.Unit() * 2.0 - 1.0) * amount); }

    Note MakeNote(double beat, double lengthBeats, double pitch, float velocity, float pan = 0.0f, float tone = 0.0f) {
        Note n;
        n.start = T(beat);
        n.length = T(beat + lengthBeats) - n.start;
        n.pitch = pitch;
        n.velocity = velocity;
        n.pan = pan;
        n.tone = tone;
        return n;
    }
    // The last bar of the main part, the lift and the finale: a drum fill
    // in its last beat, the bass resting.
    bool IsFill(int bar) const {
        const Section s = SectionOf(bar);
        return (s == kMain || s == kLift || s == kFinale) && (bar + 1 == Bars() || SectionOf(bar + 1) != s);
    }
    void AddHit(std::vector<Hit>& hits, double beat, float velocity, float pan = 0.0f) {
        hits.push_back({T(beat), velocity, pan});
    }

    // Pads: one chord per run of equal bars; brightness follows the section.
    void Pads() {
        int bar = 0;
        while (bar < Bars()) {
            int end = bar + 1;
            while (end < Bars() && chords_[static_cast<size_t>(end)] == chords_[static_cast<size_t>(bar)] &&
                   SectionOf(end) == SectionOf(bar))
                ++end;
            const Section s = SectionOf(bar);
            float level = 0.8f, tone = 1400.0f;
            switch (s) {
                case kIntro: level = 0.55f + 0.05f * static_cast<float>(bar); tone = 650.0f + 60.0f * bar; break;
                case kRise: level = 0.8f; tone = 1100.0f; break;
                case kPulse: level = 0.75f; tone = 1300.0f; break;
                case kBuild: level = 0.65f; tone = 1300.0f + 250.0f * tempo_.BarInSection(bar); break;
                case kMain: level = 0.85f; tone = 2600.0f; break;
                case kLift: level = 0.85f; tone = 2900.0f; break;
                case kBreak: level = 1.0f; tone = 1600.0f; break;
                case kFinale: level = 0.85f; tone = 3000.0f; break;
                case kEnding: level = 0.9f; tone = std::max(500.0f, 1500.0f - 90.0f * tempo_.BarInSection(bar)); break;
            }
            double lengthBeats = 4.0 * (end - bar);
            if (end == Bars()) lengthBeats -= 4.0;  // the last chord is let go a bar early to ring out
            const Chord& c = ChordAt(bar);
            static const float kPans[] = {0.0f, -0.45f, 0.45f, 0.0f};
            for (size_t v = 0; v < c.pad.size(); ++v) {
                const float voiceLevel = v == 0 ? level * 0.8f : level;
                score_.pad.push_back(MakeNote(4.0 * bar, lengthBeats, c.pad[v], voiceLevel, kPans[v], tone));
            }
            if (s == kEnding && end == Bars()) {
                // a ninth on top of the last chord
                score_.pad.push_back(MakeNote(4.0 * bar, lengthBeats, 76, level * 0.7f, 0.3f, tone));
            }
            bar = end;
        }
    }

    void Bass() {
        for (int bar = 0; bar < Bars(); ++bar) {
            const Section s = SectionOf(bar);
            const int inSection = tempo_.BarInSection(bar);
            const int root = ChordAt(bar).bass;
            const double b0 = 4.0 * bar;
            switch (s) {
                case kIntro:
                    break;
                case kRise:
                case kBreak:
                    // held roots, tone low
                    score_.bass.push_back(MakeNote(b0, 3.75, root, 0.7f, 0.0f, 250.0f));
                    break;
                case kEnding:
                    if (inSection < 8) score_.bass.push_back(MakeNote(b0, inSection % 2 ? 1.75 : 3.75, root, 0.65f, 0.0f, 220.0f));
                    if (inSection == 8) score_.bass.push_back(MakeNote(b0, 12.0, root, 0.6f, 0.0f, 180.0f));
                    break;
                case kBuild:
                    if (inSection == 8) {
                        score_.bass.push_back(MakeNote(b0, 1.5, root, 0.8f, 0.0f, 500.0f));
                        break;
                    }
                    [[fallthrough]];
                case kPulse:
                case kMain:
                case kLift:
                case kFinale: {
                    // eighths, the octave on the offbeats of beats 2 and 4
                    static const int kOctave[8] = {0, 0, 0, 12, 0, 0, 0, 12};
                    static const float kAccent[8] = {1.0f, 0.65f, 0.8f, 0.75f, 0.95f, 0.65f, 0.8f, 0.8f};
                    const bool fill = IsFill(bar);
                    float tone = s == kPulse ? 520.0f : s == kBuild ? 600.0f + 60.0f * inSection : 900.0f;
                    for (int e = 0; e < 8; ++e) {
                        if (fill && e >= 6) break;
                        score_.bass.push_back(MakeNote(b0 + 0.5 * e, 0.4, root + kOctave[e], kAccent[e], 0.0f, tone));
                    }
                    break;
                }
            }
        }
    }

    void Drums() {
        for (int bar = 0; bar < Bars(); ++bar) {
            const Section s = SectionOf(bar);
            const int inSection = tempo_.BarInSection(bar);
            const double b0 = 4.0 * bar;
            const bool full = s == kMain || s == kLift || s == kFinale;
            const bool fill = IsFill(bar);
            // kick
            if (full || s == kPulse || (s == kBuild && inSection < 8)) {
                // half time, softer, until the clap comes in
                const bool halfTime = s == kPulse && inSection < 5;
                for (int beat = 0; beat < 4; ++beat) {
                    if (fill && beat == 3) break;
                    if (halfTime && beat % 2) continue;
                    const float soft = halfTime ? 0.8f : s == kBuild ? 0.85f : 1.0f;
                    AddHit(score_.kick, b0 + beat, (beat == 0 ? 1.0f : 0.92f) * soft);
                }
            }
            if (s == kEnding && inSection == 0) AddHit(score_.kick, b0, 1.0f);
            // clap on 2 and 4
            if (full || (s == kPulse && inSection >= 5) || (s == kBuild && inSection < 6)) {
                const float soft = s == kBuild ? 0.8f : 1.0f;
                AddHit(score_.clap, b0 + 1, (0.9f + Jitter(0.05f)) * soft);
                if (!fill) AddHit(score_.clap, b0 + 3, (0.95f + Jitter(0.05f)) * soft);
            }
            // fills and rolls
            if (fill) {
                for (int i = 0; i < 4; ++i) AddHit(score_.clap, b0 + 3 + 0.25 * i, 0.5f + 0.15f * i);
            }
            if (s == kBuild && inSection >= 6) {
                const double step = inSection == 6 ? 0.5 : 0.25;
                for (double b = 0; b < 4.0 - 1e-9; b += step) {
                    const double along = (inSection - 6 + b / 4.0) / 3.0;  // 0 .. 1 over the last three bars
                    if (inSection == 8 && b >= 2.0) {
                        for (int k = 0; k < 2; ++k)
                            AddHit(score_.clap, b0 + b + 0.125 * k, static_cast<float>(0.3 + 0.4 * along));
                    } else {
                        AddHit(score_.clap, b0 + b, static_cast<float>(0.3 + 0.45 * along));
                    }
                }
            }
            if (s == kBreak && inSection == 6) {
                for (int i = 0; i < 16; ++i) AddHit(score_.clap, b0 + 0.25 * i, 0.15f + 0.035f * i);
            }
            // hats
            if (full || s == kPulse || (s == kBuild && inSection < 8)) {
                static const float kSixteenths[4] = {0.45f, 0.25f, 0.85f, 0.3f};
                const bool sixteenths = full || (s == kPulse && inSection >= 5) || s == kBuild;
                for (int i = 0; i < 16; ++i) {
                    if (!sixteenths && i % 4 != 2) continue;
                    if (fill && i >= 12) break;
                    const double b = b0 + 0.25 * i;
                    if (full && i % 4 == 2) {
                        AddHit(score_.openHat, b, 0.7f + Jitter(0.05f), 0.2f);
                    } else {
                        const float soft = !sixteenths ? 0.8f : s == kBuild ? 0.75f : 1.0f;
                        AddHit(score_.hat, b, kSixteenths[i % 4] * soft + Jitter(0.05f), 0.25f);
                    }
                }
            }
            if (s == kRise && inSection >= 4) {
                for (int i = 0; i < 8; ++i)
                    AddHit(score_.shaker, b0 + 0.5 * i + 0.25, (i % 2 ? 0.8f : 0.55f) * (0.6f + 0.1f * (inSection - 4)),
                           -0.3f);
            }
            if (s == kEnding && inSection < 4) {
                for (int i = 0; i < 8; ++i)
                    AddHit(score_.shaker, b0 + 0.5 * i + 0.25, 0.5f * (1.0f - 0.22f * inSection), -0.3f);
            }
            // crashes where sections open and every four bars in the finale
            const bool sectionStart = inSection == 0;
            if ((sectionStart && (s == kPulse || s == kMain || s == kLift || s == kFinale || s == kEnding)) ||
                (s == kFinale && inSection % 4 == 0) || (s == kMain && inSection == 8)) {
                AddHit(score_.crash, b0, sectionStart ? 1.0f : 0.6f, 0.0f);
            }
            if (sectionStart && s == kBreak) AddHit(score_.crash, b0, 0.7f, 0.0f);
        }
    }

    void Phrase(const MelodyNote* notes, size_t count, double startBeat, double stretch, std::vector<Note>& out,
                float velocity, float tone, bool harmonyToo, double untilBeat = 1e9) {
        for (size_t i = 0; i < count; ++i) {
            const MelodyNote& m = notes[i];
            const double beat = startBeat + m.beat * stretch;
            if (beat >= untilBeat) break;
            const float v = velocity * (std::fmod(m.beat, 1.0) == 0.0 ? 1.0f : 0.88f) + Jitter(0.03f);
            out.push_back(MakeNote(beat, m.length * stretch * 0.95, m.pitch, v, 0.0f, tone));
            if (harmonyToo) {
                const int bar = static_cast<int>(beat / 4.0);
                const int below = ThirdBelow(m.pitch, chords_[static_cast<size_t>(bar)]);
                score_.harmony.push_back(MakeNote(beat, m.length * stretch * 0.95, below, v * 0.7f, -0.35f, tone));
            }
        }
    }

    int FirstBar(Section s) const {
        for (int bar = 0; bar < Bars(); ++bar)
            if (SectionOf(bar) == s) return bar;
        return 0;
    }

    void Melodies() {
        const size_t nA = std::size(kMelodyA), nB = std::size(kMelodyB), nBreak = std::size(kMelodyBreak);
        const double main = 4.0 * FirstBar(kMain);
        Phrase(kMelodyA, nA, main, 1.0, score_.lead, 0.9f, 3200.0f, false);
        Phrase(kMelodyA, nA, main + 32.0, 1.0, score_.lead, 0.95f, 3600.0f, false, main + 48.0);
        const double lift = 4.0 * FirstBar(kLift);
        Phrase(kMelodyB, nB, lift, 1.0, score_.lead, 0.95f, 3800.0f, false);
        const double brk = 4.0 * FirstBar(kBreak);
        Phrase(kMelodyBreak, nBreak, brk, 1.0, score_.lead, 0.6f, 1800.0f, false);
        const double fin = 4.0 * FirstBar(kFinale);
        Phrase(kMelodyA, nA, fin, 1.0, score_.lead, 1.0f, 4000.0f, true);
        Phrase(kMelodyA, nA, fin + 32.0, 1.0, score_.lead, 1.0f, 4200.0f, true, fin + 48.0);
        // over Gm A: the second melody's last bar, then the dominant held
        score_.lead.push_back(MakeNote(fin + 48.0, 1.5, 82, 0.95f, 0.0f, 4000.0f));
        score_.lead.push_back(MakeNote(fin + 49.5, 0.5, 81, 0.85f, 0.0f, 4000.0f));
        score_.lead.push_back(MakeNote(fin + 50.0, 2.0, 79, 0.9f, 0.0f, 4000.0f));
        score_.lead.push_back(MakeNote(fin + 52.0, 3.5, 81, 0.95f, 0.0f, 4000.0f));
        score_.harmony.push_back(MakeNote(fin + 52.0, 3.5, 76, 0.65f, -0.35f, 4000.0f));
        // the ending: the first phrase at half speed, then the tonic held
        const double end = 4.0 * FirstBar(kEnding);
        Phrase(kMelodyA, 16, end, 2.0, score_.lead, 0.7f, 1600.0f, false);
        score_.lead.push_back(MakeNote(end + 32.0, 14.0, 74, 0.6f, 0.0f, 1200.0f));
    }

    // Sixteenth (or eighth) plucks through the chord tones, an octave up.
    void Plucks() {
        static const int kPattern[16] = {0, 1, 2, 3, 2, 1, 2, 3, 0, 2, 1, 3, 2, 3, 1, 2};
        for (int bar = 0; bar < Bars(); ++bar) {
            const Section s = SectionOf(bar);
            const int inSection = tempo_.BarInSection(bar);
            bool eighths = false;
            float level = 0.0f, tone = 1800.0f;
            switch (s) {
                case kRise: eighths = true; level = 0.45f + 0.04f * inSection; tone = 1200.0f + 150.0f * inSection; break;
                case kPulse: eighths = inSection < 5; level = 0.55f; tone = 2000.0f; break;
                case kBuild: level = inSection < 8 ? 0.5f + 0.03f * inSection : 0.0f; tone = 2000.0f + 300.0f * inSection; break;
                case kLift: level = 0.45f; tone = 2600.0f; break;
                case kFinale: level = 0.5f; tone = 3000.0f; break;
                case kEnding: level = inSection < 6 ? 0.45f * (1.0f - inSection / 6.0f) : 0.0f; tone = 1400.0f; break;
                default: break;
            }
            if (level <= 0.0f) continue;
            const Chord& c = ChordAt(bar);
            for (int i = 0; i < 16; ++i) {
                if (eighths && i % 2) continue;
                const float accent = i % 4 == 0 ? 1.0f : i % 2 == 0 ? 0.8f : 0.65f;
                const float pan = (i % 2 ? 0.4f : -0.4f);
                score_.pluck.push_back(MakeNote(4.0 * bar + 0.25 * i, eighths ? 0.45 : 0.22,
                                                c.arp[static_cast<size_t>(kPattern[i])] + 12, level * accent, pan, tone));
            }
        }
    }

    // Bells: slow chord tones in the intro, the second melody's opening in
    // the build and the break's answers.
    void Bells() {
        static const int kOrder[8] = {0, 2, 1, 3, 2, 0, 3, 1};
        for (int bar = 4; bar < FirstBar(kRise); ++bar) {
            const Chord& c = ChordAt(bar);
            for (int i = 0; i < 2; ++i) {
                const int tone = c.arp[static_cast<size_t>(kOrder[(bar * 2 + i) % 8])] + 12;
                score_.bell.push_back(MakeNote(4.0 * bar + 2.0 * i, 2.0, tone, 0.35f + 0.04f * (bar - 4),
                                               i ? 0.5f : -0.5f));
            }
        }
        const double build = 4.0 * FirstBar(kBuild);
        for (int rep = 0; rep < 2; ++rep) {
            for (const MelodyNote& m : kMelodyB) {
                if (m.beat >= 16.0) break;
                score_.bell.push_back(MakeNote(build + 16.0 * rep + m.beat, m.length, m.pitch, 0.45f + 0.1f * rep, 0.3f));
            }
        }
        const double brk = 4.0 * FirstBar(kBreak);
        for (const MelodyNote& m : kMelodyBreak) {
            score_.bell.push_back(MakeNote(brk + m.beat + 1.0, 1.0, m.pitch + 12, 0.3f, -0.4f));
        }
    }

    void Effects() {
        // risers into the main part and into the finale
        const double build = 4.0 * FirstBar(kBuild);
        score_.risers.push_back({T(build + 16.0), T(4.0 * FirstBar(kMain)), 1.0f});
        score_.risers.push_back({T(4.0 * (FirstBar(kFinale) - 2)), T(4.0 * FirstBar(kFinale)), 0.8f});
        score_.risers.push_back({T(4.0 * (FirstBar(kLift) - 1)), T(4.0 * FirstBar(kLift)), 0.5f});
        // wind under the intro, the break and the ending
        score_.winds.push_back({0.0, T(4.0 * FirstBar(kRise) + 8.0), 1.0f});
        score_.winds.push_back({T(4.0 * FirstBar(kBreak) - 4.0), T(4.0 * FirstBar(kFinale) + 4.0), 0.8f});
        score_.winds.push_back({T(4.0 * FirstBar(kEnding)), 203.5, 1.0f});
    }

    const TempoMap& tempo_;
    std::vector<ChordName> chords_;
    Random random_;
    Score score_;
};

}  // namespace

Score BuildScore(const TempoMap& tempo) { return Arranger(tempo).Build(); }

}  // namespace music
}  // namespace tarvel::content
