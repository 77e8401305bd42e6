#include "platform/music_stream.h"

#include "platform/file_read.h"
#include "platform/rate_converter.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace jolp {

namespace {

// stb_vorbis stores file offsets in 32 bits.
constexpr uint64_t kMaxMusicFileBytes = uint64_t{2} << 30;

// What stb_vorbis's error codes mean, in words.
const char* VorbisErrorText(int code) {
    switch (code) {
    case VORBIS_outofmem: return "out of memory opening it";
    case VORBIS_feature_not_supported: return "it uses a Vorbis feature the decoder does not support (floor 0)";
    case VORBIS_too_many_channels: return "it has more channels than the decoder takes";
    case VORBIS_unexpected_eof: return "the file ends too early (cut off?)";
    case VORBIS_invalid_setup: return "the Vorbis setup header is damaged";
    case VORBIS_invalid_stream: return "the Vorbis stream is damaged";
    case VORBIS_missing_capture_pattern: return "not an Ogg file, or one cut off (no Ogg page where one should be)";
    case VORBIS_invalid_stream_structure_version: return "an Ogg page of an unknown version";
    case VORBIS_continued_packet_flag_invalid: return "the Ogg pages are out of order or missing";
    case VORBIS_incorrect_stream_serial_number: return "more than one stream is interleaved in the file";
    case VORBIS_invalid_first_page: return "not an Ogg Vorbis file (its first page holds no Vorbis header)";
    case VORBIS_bad_packet_type: return "a Vorbis header packet is missing or damaged";
    case VORBIS_cant_find_last_page: return "the last Ogg page cannot be found (cut off?)";
    case VORBIS_ogg_skeleton_not_supported: return "an Ogg Skeleton stream, which is not supported";
    default: return "not a readable Ogg Vorbis file";
    }
}

}  // namespace

std::unique_ptr<MusicStream> MusicStream::Open(const std::string& path, std::string& error) {
    // Only a regular file: a FIFO would block the decoder for ever.
    uint64_t size = 0;
    std::string reason;
    const int fd = OpenRegularFile(path, kMaxMusicFileBytes, size, reason);
    if (fd < 0) {
        error = path + ": cannot be opened (" + reason + ")";
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        error = path + ": cannot be opened (" + std::strerror(errno) + ")";
        ::close(fd);
        return nullptr;
    }
    int vorbisError = 0;
    stb_vorbis* vorbis = stb_vorbis_open_file(file, 1, &vorbisError, nullptr);
    if (!vorbis) {
        // stb_vorbis has closed the file already (it owns it from the call on).
        error = path + ": " + VorbisErrorText(vorbisError);
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
    converter_ = RateConverter::Create(channels_, static_cast<int>(sampleRate_), outputRate_);
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
    int got = 0;
    while (got < frames) {
        const int taken = converter_->Get(stereo + got * 2, frames - got);
        if (taken > 0) {
            got += taken;
            continue;
        }
        if (decoderDone_) break;
        const int chunkFrames = static_cast<int>(sizeof(decodeBuffer_) / sizeof(float)) / channels_;
        const int decoded =
            stb_vorbis_get_samples_float_interleaved(vorbis_, channels_, decodeBuffer_, chunkFrames * channels_);
        if (decoded <= 0) {
            decoderDone_ = true;
            converter_->Flush();
            continue;
        }
        converter_->Put(decodeBuffer_, decoded);
    }
    if (got < frames) {
        std::memset(stereo + got * 2, 0, static_cast<size_t>(frames - got) * 2 * sizeof(float));
        exhausted_ = true;
    }
    deliveredFrames_ += static_cast<uint64_t>(got);
}

}  // namespace jolp
