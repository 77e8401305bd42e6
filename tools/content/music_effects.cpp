// music_effects.cpp - echo and reverb.
#include "tools/content/music_effects.h"

#include "tools/content/music_dsp.h"

#include <array>
#include <cstddef>

namespace tarvel::content::music {
namespace {

class Comb {
public:
    Comb(size_t length, float feedback, float damp) : buffer_(length), feedback_(feedback), damp_(damp) {}
    float Process(float in) {
        const float out = buffer_[pos_];
        store_ = out * (1.0f - damp_) + store_ * damp_;
        buffer_[pos_] = in + store_ * feedback_;
        if (++pos_ == buffer_.size()) pos_ = 0;
        return out;
    }

private:
    std::vector<float> buffer_;
    size_t pos_ = 0;
    float feedback_, damp_, store_ = 0.0f;
};

class AllPass {
public:
    explicit AllPass(size_t length) : buffer_(length) {}
    float Process(float in) {
        const float delayed = buffer_[pos_];
        const float out = delayed - in;
        buffer_[pos_] = in + delayed * 0.5f;
        if (++pos_ == buffer_.size()) pos_ = 0;
        return out;
    }

private:
    std::vector<float> buffer_;
    size_t pos_ = 0;
};

}  // namespace

void ApplyEcho(const std::vector<float>& send, double seconds, float feedback, std::vector<float>& left,
               std::vector<float>& right, std::vector<float>& reverbSend, float toReverb) {
    const size_t length = static_cast<size_t>(seconds * kSampleRate + 0.5);
    if (length == 0) return;
    std::vector<float> lineLeft(length), lineRight(length);
    size_t pos = 0;
    float dark = 0.0f;
    const float darkness = 0.55f;  // one-pole low-pass in the loop, about 3 kHz
    for (size_t i = 0; i < send.size(); ++i) {
        const float l = lineLeft[pos];
        const float r = lineRight[pos];
        dark = r * (1.0f - darkness) + dark * darkness;
        lineLeft[pos] = send[i] + dark * feedback;
        lineRight[pos] = l;
        if (++pos == length) pos = 0;
        left[i] += l * 0.8f;
        right[i] += r * 0.8f;
        reverbSend[i] += (l + r) * toReverb;
    }
}

void ApplyReverb(const std::vector<float>& send, float wet, std::vector<float>& left, std::vector<float>& right) {
    static const size_t kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t kAllPasses[4] = {556, 441, 341, 225};
    const size_t spread = 23;
    const float feedback = 0.86f, damp = 0.3f;
    std::vector<Comb> combsLeft, combsRight;
    std::vector<AllPass> passesLeft, passesRight;
    for (size_t c : kCombs) {
        combsLeft.emplace_back(c, feedback, damp);
        combsRight.emplace_back(c + spread, feedback, damp);
    }
    for (size_t a : kAllPasses) {
        passesLeft.emplace_back(a);
        passesRight.emplace_back(a + spread);
    }
    // the send loses its lows first (one-pole high-pass near 200 Hz) so the
    // room does not boom
    float lowState = 0.0f;
    const float lowCoefficient = 0.972f;
    for (size_t i = 0; i < send.size(); ++i) {
        lowState = lowState * lowCoefficient + send[i] * (1.0f - lowCoefficient);
        const float in = (send[i] - lowState) * 0.015f;
        float l = 0.0f, r = 0.0f;
        for (size_t c = 0; c < 8; ++c) {
            l += combsLeft[c].Process(in);
            r += combsRight[c].Process(in);
        }
        for (size_t a = 0; a < 4; ++a) {
            l = passesLeft[a].Process(l);
            r = passesRight[a].Process(r);
        }
        left[i] += l * wet;
        right[i] += r * wet;
    }
}

}  // namespace tarvel::content::music
