// tone_ogg - writes a short stereo sine tone as Ogg Vorbis, for trying the
// demo with a music file of a chosen length.
//
//   tone_ogg OUT.ogg SECONDS [HZ]
#include "tools/vorbis_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: tone_ogg OUT.ogg SECONDS [HZ]\n");
        return argc >= 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    char* end = nullptr;
    const double seconds = std::strtod(argv[2], &end);
    if (*end != '\0' || !(seconds > 0.0) || seconds > 3600.0) {
        std::fprintf(stderr, "tone_ogg: bad length '%s': expected seconds, above 0 and at most 3600\n", argv[2]);
        return 2;
    }
    double hz = 440.0;
    if (argc == 4) {
        hz = std::strtod(argv[3], &end);
        if (*end != '\0' || !(hz > 0.0) || hz > 20000.0) {
            std::fprintf(stderr, "tone_ogg: bad frequency '%s'\n", argv[3]);
            return 2;
        }
    }
    jolp::tools::VorbisSettings settings;
    const size_t frames = static_cast<size_t>(seconds * settings.sampleRate);
    std::vector<float> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const float v = 0.25f * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / settings.sampleRate));
        samples[2 * i] = v;
        samples[2 * i + 1] = v;
    }
    std::string error;
    if (!jolp::tools::WriteOggVorbis(argv[1], samples.data(), frames, settings, error)) {
        std::fprintf(stderr, "tone_ogg: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
