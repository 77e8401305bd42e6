// orrery_content - writes the orrery's data set into a run folder: its one
// file, eight seconds of music (Ogg Vorbis), a low drone under a slow
// arpeggio. The same bytes each run.
#include "platform/log.h"
#include "tools/vorbis_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr float kSeconds = 8.0f;
constexpr float kPi = 3.14159265f;

std::vector<float> Music(int rate) {
    const float notes[4] = {261.6f, 329.6f, 392.0f, 493.9f};
    const int frames = static_cast<int>(kSeconds * rate);
    std::vector<float> samples(2 * static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i) / rate;
        const float swell = std::min({1.0f, t, (kSeconds - t)});
        const float drone = std::sin(2 * kPi * 65.4f * t) + 0.5f * std::sin(2 * kPi * 98.0f * t);
        const float since = std::fmod(t, 0.25f);
        const float note = std::sin(2 * kPi * notes[static_cast<int>(t * 4) % 4] * t) * std::exp(-8 * since);
        samples[2 * i] = 0.1f * drone * swell + 0.1f * note;
        samples[2 * i + 1] = 0.1f * drone * swell + 0.08f * note;
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        jolp::Log(jolp::LogLevel::Error, "usage: orrery_content RUN_FOLDER");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::error_code made;
    std::filesystem::create_directories(root / "media", made);
    const jolp::tools::VorbisSettings settings;
    const std::vector<float> music = Music(settings.sampleRate);
    std::string error;
    if (!jolp::tools::WriteOggVorbis((root / "media/music.ogg").string(), music.data(), music.size() / 2, settings,
                                     error)) {
        jolp::Log(jolp::LogLevel::Error, "%s", error.c_str());
        return 1;
    }
    return 0;
}
