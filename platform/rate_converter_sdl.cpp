#include "platform/rate_converter.h"

#include <SDL2/SDL.h>

namespace jolp {
namespace {

class SdlRateConverter final : public RateConverter {
public:
    SdlRateConverter(SDL_AudioStream* stream, int channels) : stream_(stream), channels_(channels) {}
    ~SdlRateConverter() override { SDL_FreeAudioStream(stream_); }
    void Put(const float* samples, int frames) override {
        SDL_AudioStreamPut(stream_, samples, frames * channels_ * static_cast<int>(sizeof(float)));
    }
    int Get(float* stereo, int frames) override {
        const int bytes = SDL_AudioStreamGet(stream_, stereo, frames * 2 * static_cast<int>(sizeof(float)));
        return bytes > 0 ? bytes / static_cast<int>(2 * sizeof(float)) : 0;
    }
    void Flush() override { SDL_AudioStreamFlush(stream_); }

private:
    SDL_AudioStream* stream_;
    int channels_;
};

}  // namespace

std::unique_ptr<RateConverter> RateConverter::Create(int channels, int inRate, int outRate) {
    if (channels <= 0 || inRate <= 0 || outRate <= 0) return nullptr;
    SDL_AudioStream* stream =
        SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(channels), inRate, AUDIO_F32SYS, 2, outRate);
    if (!stream) return nullptr;
    return std::make_unique<SdlRateConverter>(stream, channels);
}

}  // namespace jolp
