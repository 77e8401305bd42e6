// rate_converter.h - RateConverter: interleaved float samples of one rate
// and channel count in, stereo float samples at the output's rate out, as a
// queue (Put what is decoded, Get what the output wants, Flush at the end).
//
// Natively SDL2's audio stream does the work (rate_converter_sdl.cpp); in a
// browser, which has no SDL, a linear interpolator of our own
// (rate_converter_linear.cpp). Mono is played on both sides; of more than
// two channels the first two are kept.
#pragma once

#include <memory>

namespace jolp {

class RateConverter {
public:
    virtual ~RateConverter() = default;
    // Null when the rates or channel counts are not positive.
    static std::unique_ptr<RateConverter> Create(int channels, int inRate, int outRate);
    // Appends frames frames of channels interleaved samples.
    virtual void Put(const float* samples, int frames) = 0;
    // Takes up to frames stereo frames into stereo; the number taken.
    virtual int Get(float* stereo, int frames) = 0;
    // No more input: what is still held back may be taken.
    virtual void Flush() = 0;
};

}  // namespace jolp
