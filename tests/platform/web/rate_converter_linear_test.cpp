// The browser's rate converter, built natively on its own (the native
// build links SDL's in its place): the music's length and pitch survive a
// change of rate, so that its position, which the frame clock follows,
// stays true.
#include "platform/rate_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace jolp {
namespace {

// Converts seconds of a sine of hz at inRate (channels of it) to outRate,
// in pieces of the sizes a decoder and an output would use.
std::vector<float> Convert(int channels, int inRate, int outRate, double hz, double seconds) {
    auto converter = RateConverter::Create(channels, inRate, outRate);
    EXPECT_NE(converter, nullptr);
    const int frames = static_cast<int>(seconds * inRate);
    std::vector<float> in(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            in[static_cast<size_t>(i) * channels + c] =
                static_cast<float>(std::sin(2.0 * M_PI * hz * i / inRate)) * (c == 1 ? 0.5f : 1.0f);
        }
    }
    std::vector<float> out;
    float chunk[1024 * 2];
    for (int at = 0; at < frames; at += 1500) {
        const int n = std::min(1500, frames - at);
        converter->Put(in.data() + static_cast<size_t>(at) * channels, n);
        if (at + n >= frames) converter->Flush();
        for (int got; (got = converter->Get(chunk, 1024)) > 0;) out.insert(out.end(), chunk, chunk + got * 2);
    }
    return out;
}

int RisingZeroCrossings(const std::vector<float>& stereo, int channel) {
    int count = 0;
    for (size_t i = 2 + channel; i < stereo.size(); i += 2) count += stereo[i - 2] < 0.0f && stereo[i] >= 0.0f;
    return count;
}

TEST(LinearRateConverterTest, KeepsLengthPitchAndChannelsAcrossRates) {
    struct Case {
        int channels, inRate, outRate;
    };
    for (const Case c : {Case{2, 44100, 48000}, Case{2, 48000, 44100}, Case{1, 22050, 44100}, Case{2, 44100, 44100}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.inRate << " -> " << c.outRate);
        const std::vector<float> out = Convert(c.channels, c.inRate, c.outRate, 440.0, 2.0);
        // Every input frame is played: 2 s in, 2 s out, to a frame or two.
        EXPECT_NEAR(static_cast<double>(out.size() / 2), 2.0 * c.outRate, 2.0);
        // The pitch: 440 rising zero crossings a second.
        EXPECT_NEAR(RisingZeroCrossings(out, 0), 880, 2);
        // Mono plays on both sides; stereo keeps its sides apart.
        const float peakLeft = *std::max_element(out.begin(), out.end());
        float peakRight = 0.0f;
        for (size_t i = 1; i < out.size(); i += 2) peakRight = std::max(peakRight, out[i]);
        EXPECT_NEAR(peakLeft, 1.0f, 0.01f);
        EXPECT_NEAR(peakRight, c.channels == 1 ? 1.0f : 0.5f, 0.01f);
    }
}

TEST(LinearRateConverterTest, RefusesRatesAndChannelsThatAreNotPositive) {
    EXPECT_EQ(RateConverter::Create(0, 44100, 48000), nullptr);
    EXPECT_EQ(RateConverter::Create(2, 0, 48000), nullptr);
    EXPECT_EQ(RateConverter::Create(2, 44100, -1), nullptr);
}

}  // namespace
}  // namespace jolp
