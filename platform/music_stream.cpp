#include "platform/music_stream.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>

namespace jolp {

std::unique_ptr<MusicStream> MusicStream::Open(const std::string& path, std::string& error) {
    int vorbisError = 0;
    stb_vorbis* vorbis = stb_vorbis_open_filename(path.c_str(), &vorbisError, nullptr);
    if (!vorbis) {
        SDL_RWops* probe = SDL_RWFromFile(path.c_str(), "rb");
        if (!probe) {
            error = path + ": cannot be opened";
        } else {
            SDL_RWclose(probe);
            error = path + ": not an Ogg Vorbis file (stb_vorbis error " + std::to_string(vorbisError) + ")";
        }
        return nullptr;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(vorbis);
    const unsigned int samples = stb_vorbis_stream_length_in_samples(vorbis);
    if (info.sample_rate == 0 || info.channels <= 0 || samples == 0) {
        stb_vorbis_close(vorbis);
        error = path + ": the Vorbis stream is empty or has no length";
        return nullptr;
    }
    std::unique_ptr<MusicStream> stream(new MusicStream());
    stream->vorbis_ = vorbis;
    stream->sampleRate_ = info.sample_rate;
    stream->channels_ = std::min(info.channels, 2);
    stream->lengthMs_ = static_cast<uint32_t>(static_cast<uint64_t>(samples) * 1000u / info.sample_rate);
    return stream;
}

MusicStream::~MusicStream() {
    Stop();
    if (converter_) SDL_FreeAudioStream(converter_);
    if (vorbis_) stb_vorbis_close(vorbis_);
}

bool MusicStream::Play() { return PlayFrom(0); }

bool MusicStream::PlayFrom(uint32_t ms) {
    if (!AudioOutputIsOpen()) return false;
    Stop();
    if (ms > lengthMs_) ms = lengthMs_;
    if (ms == 0) {
        stb_vorbis_seek_start(vorbis_);
    } else {
        stb_vorbis_seek(vorbis_, static_cast<unsigned int>(static_cast<uint64_t>(ms) * sampleRate_ / 1000u));
    }
    decoderDone_ = false;
    exhausted_ = false;
    heardAll_ = false;
    outputRate_ = GetAudioOutputInfo().rate;
    // The position counts on from where the sound starts.
    const uint64_t startFrames = static_cast<uint64_t>(ms) * static_cast<uint64_t>(outputRate_) / 1000u;
    deliveredFrames_ = startFrames;
    heardFrames_ = startFrames;
    if (converter_) SDL_FreeAudioStream(converter_);
    converter_ = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(channels_), static_cast<int>(sampleRate_),
                                    AUDIO_F32SYS, 2, outputRate_);
    if (!converter_) return false;
    playing_ = true;
    SetAudioSource(this);
    return true;
}

void MusicStream::Stop() {
    if (!playing_) return;
    SetAudioSource(nullptr);
    playing_ = false;
}

uint32_t MusicStream::PositionMs() const {
    if (heardAll_) return lengthMs_;
    if (outputRate_ <= 0) return 0;
    const uint64_t ms = heardFrames_.load() * 1000u / static_cast<uint64_t>(outputRate_);
    return static_cast<uint32_t>(std::min<uint64_t>(ms, lengthMs_));
}

void MusicStream::Mix(float* stereo, int frames) {
    // The buffer handed over before this one is what the device plays now.
    heardFrames_ = deliveredFrames_.load();
    if (exhausted_) heardAll_ = true;
    const int wantBytes = frames * 2 * static_cast<int>(sizeof(float));
    int gotBytes = 0;
    uint8_t* out = reinterpret_cast<uint8_t*>(stereo);
    while (gotBytes < wantBytes) {
        const int got = SDL_AudioStreamGet(converter_, out + gotBytes, wantBytes - gotBytes);
        if (got > 0) {
            gotBytes += got;
            continue;
        }
        if (decoderDone_) break;
        const int chunkFrames = static_cast<int>(sizeof(decodeBuffer_) / sizeof(float)) / channels_;
        const int decoded =
            stb_vorbis_get_samples_float_interleaved(vorbis_, channels_, decodeBuffer_, chunkFrames * channels_);
        if (decoded <= 0) {
            decoderDone_ = true;
            SDL_AudioStreamFlush(converter_);
            continue;
        }
        SDL_AudioStreamPut(converter_, decodeBuffer_, decoded * channels_ * static_cast<int>(sizeof(float)));
    }
    if (gotBytes < wantBytes) {
        std::memset(out + gotBytes, 0, static_cast<size_t>(wantBytes - gotBytes));
        exhausted_ = true;
    }
    deliveredFrames_ += static_cast<uint64_t>(gotBytes) / (2 * sizeof(float));
}

}  // namespace jolp
