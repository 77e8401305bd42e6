// vorbis_writer.h - writes PCM as an Ogg Vorbis file with libvorbisenc.
//
// Deterministic: the same samples, quality and serial give the same bytes
// on every run and machine.
#pragma once

#include <cstddef>
#include <string>

namespace jolp::tools {

struct VorbisSettings {
    int channels = 2;
    int sampleRate = 44100;
    float quality = 0.4f;  // -0.1 .. 1.0
    int serial = 0x54617276;
};

// samples holds frames * channels floats in -1..1, interleaved. The file is
// written whole or not at all (file_write.h). False, with the reason naming
// the file, when encoding or writing fails.
bool WriteOggVorbis(const std::string& path, const float* samples, size_t frames, const VorbisSettings& settings,
                    std::string& error);

}  // namespace jolp::tools
