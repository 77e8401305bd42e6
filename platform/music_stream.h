// music_stream.h - one Ogg Vorbis file streamed to the audio output:
// decoded on the audio thread with stb_vorbis, converted to the output's
// rate and channels, with a play position that stays 0 until the first
// buffer has gone to the device.
//
// The stream owns its decoder. It is attached to the output by Play and
// detached by Stop (or destruction).
#pragma once

#include "platform/audio_output.h"
#include "platform/rate_converter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct stb_vorbis;

namespace jolp {

class MusicStream final : public AudioSource {
public:
    // Null, with the reason (naming the file), when the file cannot be
    // opened or is not Ogg Vorbis.
    static std::unique_ptr<MusicStream> Open(const std::string& path, std::string& error);
    ~MusicStream() override;

    // Whole length in milliseconds, truncated.
    uint32_t LengthMs() const { return lengthMs_; }
    uint32_t SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }

    // Starts playing from the beginning on the open audio output. False when
    // no output is open.
    bool Play();
    // Starts playing from ms into the music (the end at most); PositionMs
    // then counts on from ms. False when no output is open.
    bool PlayFrom(uint32_t ms);
    void Stop();
    bool Playing() const { return playing_; }
    // Milliseconds of sound sent to the device before the buffer now
    // playing: 0 until sound is being heard, capped at the length.
    uint32_t PositionMs() const;

    void Mix(float* stereo, int frames) override;

private:
    MusicStream() = default;

    stb_vorbis* vorbis_ = nullptr;
    std::unique_ptr<RateConverter> converter_;
    uint32_t sampleRate_ = 0;
    int channels_ = 0;
    uint32_t lengthMs_ = 0;
    int outputRate_ = 0;
    bool playing_ = false;
    bool decoderDone_ = false;
    bool exhausted_ = false;  // audio thread only: the last sample has been handed over
    std::atomic<bool> heardAll_{false};
    std::atomic<uint64_t> deliveredFrames_{0};
    std::atomic<uint64_t> heardFrames_{0};
    float decodeBuffer_[4096 * 2] = {};
};

}  // namespace jolp
