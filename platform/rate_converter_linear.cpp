#include "platform/rate_converter.h"

#include <cstddef>
#include <vector>

namespace jolp {
namespace {

// Linear interpolation between neighbouring input frames. The input waits
// in a queue of stereo frames that is compacted as it is read; it grows to
// the largest Put and no further.
class LinearRateConverter final : public RateConverter {
public:
    LinearRateConverter(int channels, int inRate, int outRate)
        : channels_(channels), step_(static_cast<double>(inRate) / outRate) {}

    void Put(const float* samples, int frames) override {
        Compact();
        for (int i = 0; i < frames; ++i) {
            const float left = samples[static_cast<size_t>(i) * channels_];
            const float right = channels_ > 1 ? samples[static_cast<size_t>(i) * channels_ + 1] : left;
            queue_.push_back(left);
            queue_.push_back(right);
        }
    }

    int Get(float* stereo, int frames) override {
        int made = 0;
        while (made < frames) {
            const size_t available = queue_.size() / 2 - read_;
            const size_t whole = static_cast<size_t>(position_);
            const double fraction = position_ - static_cast<double>(whole);
            // Two neighbours are needed, except for the very last frame.
            if (whole + 1 >= available && !(flushed_ && whole < available)) break;
            const float* a = &queue_[(read_ + whole) * 2];
            const float* b = whole + 1 < available ? a + 2 : a;
            stereo[made * 2 + 0] = static_cast<float>(a[0] + (b[0] - a[0]) * fraction);
            stereo[made * 2 + 1] = static_cast<float>(a[1] + (b[1] - a[1]) * fraction);
            ++made;
            position_ += step_;
            const size_t passed = static_cast<size_t>(position_);
            read_ += passed;
            position_ -= static_cast<double>(passed);
        }
        return made;
    }

    void Flush() override { flushed_ = true; }

private:
    void Compact() {
        if (read_ == 0) return;
        const size_t keep = queue_.size() / 2 > read_ ? queue_.size() / 2 - read_ : 0;
        for (size_t i = 0; i < keep * 2; ++i) queue_[i] = queue_[read_ * 2 + i];
        queue_.resize(keep * 2);
        read_ = 0;
    }

    int channels_;
    double step_;            // input frames per output frame
    double position_ = 0.0;  // between input frames read_ and read_ + 1
    size_t read_ = 0;        // first input frame still needed
    bool flushed_ = false;
    std::vector<float> queue_;
};

}  // namespace

std::unique_ptr<RateConverter> RateConverter::Create(int channels, int inRate, int outRate) {
    if (channels <= 0 || inRate <= 0 || outRate <= 0) return nullptr;
    return std::make_unique<LinearRateConverter>(channels, inRate, outRate);
}

}  // namespace jolp
