// music_voices.h - the instruments: each renders one note or hit of the
// score into the mix buses (a dry stereo pair and the mono sends to the
// echo and the reverb).
//
// Every envelope starts and ends at zero with ramps of a millisecond or
// more, so no note clicks. Owned by the music generator.
#pragma once

#include "tools/content/music_dsp.h"
#include "tools/content/music_score.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace tarvel::content::music {

struct Buses {
    explicit Buses(size_t frameCount)
        : frames(frameCount), left(frameCount), right(frameCount), reverb(frameCount), echo(frameCount) {}
    size_t frames;
    std::vector<float> left, right, reverb, echo;

    // Adds n samples of a mono signal from frame start, panned by the two
    // gains, with the given amounts to the sends; what runs past the end is
    // dropped.
    void Add(size_t start, const float* mono, size_t n, float gainLeft, float gainRight, float toReverb, float toEcho);
    // Adds a stereo signal; the sends take the mid.
    void AddStereo(size_t start, const float* l, const float* r, size_t n, float toReverb, float toEcho);
};

class Instruments {
public:
    explicit Instruments(Buses& buses) : buses_(buses), random_(0x5EEDF00Du) {}

    // Kick times (seconds, ascending) that the pads duck under: a dip of
    // about 4 dB in 6 ms, back over a tenth of a second.
    void DuckUnder(std::vector<double> kickTimes) { kicks_ = std::move(kickTimes); }

    void Kick(const Hit& hit);
    void Clap(const Hit& hit);
    void Hat(const Hit& hit, bool open);
    void Shaker(const Hit& hit);
    void Crash(const Hit& hit);
    void Riser(const Sweep& sweep);
    void Wind(const Sweep& sweep);
    void Pad(const Note& note);
    void Bass(const Note& note);
    void Lead(const Note& note);
    void Pluck(const Note& note);
    void Bell(const Note& note);

private:
    size_t Prepare(double seconds);  // sizes the scratch buffers, returns frames
    static size_t Frame(double seconds);
    double Duck(double seconds) const;  // pad gain at a time of the piece

    Buses& buses_;
    Random random_;
    std::vector<float> a_, b_, env_;
    std::vector<double> kicks_;
};

}  // namespace tarvel::content::music
