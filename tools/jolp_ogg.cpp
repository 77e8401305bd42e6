// jolp_ogg - makes a demo's music file: Ogg Vorbis from a WAV file or from
// raw PCM, or a tone or silence of a given length for trying a demo before
// its music exists.
//
//   jolp_ogg [--quality Q] IN.wav OUT.ogg
//   jolp_ogg [--quality Q] --raw FORMAT:RATE:CHANNELS IN.pcm OUT.ogg
//   jolp_ogg [--quality Q] --tone SECONDS [--hz HZ] OUT.ogg
//   jolp_ogg [--quality Q] --silence SECONDS OUT.ogg
//
// WAV: PCM of 8, 16, 24 or 32 bits, or 32-bit float (WAVE_FORMAT_EXTENSIBLE
// too), one or two channels, 8000 to 192000 Hz. The file is written whole
// or not at all, through the writer every program uses (file_write.h).
#include "platform/file_read.h"
#include "platform/file_write.h"
#include "platform/standard_output.h"
#include "tools/vorbis_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: jolp_ogg [--quality Q] IN.wav OUT.ogg\n"
    "       jolp_ogg [--quality Q] --raw FORMAT:RATE:CHANNELS IN.pcm OUT.ogg\n"
    "       jolp_ogg [--quality Q] --tone SECONDS [--hz HZ] OUT.ogg\n"
    "       jolp_ogg [--quality Q] --silence SECONDS OUT.ogg\n"
    "Writes OUT.ogg (Ogg Vorbis), a demo's music, from a WAV file, from raw PCM,\n"
    "or as a sine tone or silence of SECONDS (above 0, at most 3600).\n"
    "  --raw FORMAT:RATE:CHANNELS  headerless samples: FORMAT u8, s16le, s24le,\n"
    "                              s32le or f32le; RATE 8000 to 192000 Hz;\n"
    "                              CHANNELS 1 or 2 (interleaved)\n"
    "  --hz HZ        the tone's frequency (default 440)\n"
    "  --quality Q    Vorbis quality, -0.1 to 1 (default 0.4)\n"
    "  --help         show this text\n"
    "WAV files: PCM of 8 to 32 bits or 32-bit float, 1 or 2 channels.\n";

// The largest input read: about an hour and a half of 16-bit stereo.
constexpr uint64_t kMaxInputBytes = uint64_t{1} << 30;

int Fail(const std::string& why) {
    std::fprintf(stderr, "jolp_ogg: %s\n", why.c_str());
    return 1;
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "jolp_ogg: %s\nTry 'jolp_ogg --help'.\n", why.c_str());
    return 2;
}

bool ParseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= low && value <= high;
}

enum class SampleFormat { U8, S16, S24, S32, F32 };

unsigned BytesPer(SampleFormat f) {
    switch (f) {
        case SampleFormat::U8: return 1;
        case SampleFormat::S16: return 2;
        case SampleFormat::S24: return 3;
        case SampleFormat::S32:
        case SampleFormat::F32: return 4;
    }
    return 0;
}

struct Pcm {
    SampleFormat format = SampleFormat::S16;
    int rate = 0;
    int channels = 0;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

// Interleaved little-endian samples made floats in -1..1.
std::vector<float> ToFloats(const Pcm& pcm) {
    const unsigned width = BytesPer(pcm.format);
    const size_t count = pcm.size / width;
    std::vector<float> out(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pcm.bytes + i * width;
        switch (pcm.format) {
            case SampleFormat::U8: out[i] = (static_cast<float>(p[0]) - 128.0f) / 128.0f; break;
            case SampleFormat::S16:
                out[i] = static_cast<float>(static_cast<int16_t>(p[0] | (p[1] << 8))) / 32768.0f;
                break;
            case SampleFormat::S24: {
                const int32_t v = static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24));
                out[i] = static_cast<float>(v / 256) / 8388608.0f;
                break;
            }
            case SampleFormat::S32: {
                const int32_t v = static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                                       (uint32_t{p[3]} << 24));
                out[i] = static_cast<float>(static_cast<double>(v) / 2147483648.0);
                break;
            }
            case SampleFormat::F32: {
                const uint32_t bits = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
                float v;
                std::memcpy(&v, &bits, sizeof v);
                // NaN and what lies outside -1..1 are clipped, not encoded.
                out[i] = std::isnan(v) ? 0.0f : v < -1.0f ? -1.0f : v > 1.0f ? 1.0f : v;
                break;
            }
        }
    }
    return out;
}

uint32_t Le32(const uint8_t* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool CheckShape(int rate, int channels, std::string& why) {
    if (channels < 1 || channels > 2) {
        why = std::to_string(channels) + " channels (a demo's music has 1 or 2)";
        return false;
    }
    if (rate < 8000 || rate > 192000) {
        why = std::to_string(rate) + " Hz (8000 to 192000 are taken)";
        return false;
    }
    return true;
}

// The fmt and data chunks of a RIFF WAVE file. False with the reason.
bool ParseWav(const std::vector<uint8_t>& file, Pcm& pcm, std::string& why) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        why = "not a WAV file (no RIFF WAVE header)";
        return false;
    }
    bool haveFormat = false;
    unsigned tag = 0, bits = 0;
    size_t at = 12;
    while (at + 8 <= file.size()) {
        const uint8_t* chunk = file.data() + at;
        const size_t length = Le32(chunk + 4);
        const size_t body = at + 8;
        const size_t available = file.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || length > available) {
                why = "its fmt chunk is cut short";
                return false;
            }
            tag = Le16(chunk + 8);
            pcm.channels = Le16(chunk + 10);
            pcm.rate = static_cast<int>(Le32(chunk + 12));
            bits = Le16(chunk + 22);
            // WAVE_FORMAT_EXTENSIBLE: the real tag opens the sub-format GUID.
            if (tag == 0xFFFE && length >= 40) tag = Le16(chunk + 32);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                why = "its data chunk comes before its fmt chunk";
                return false;
            }
            if (tag == 1 && bits == 8) pcm.format = SampleFormat::U8;
            else if (tag == 1 && bits == 16) pcm.format = SampleFormat::S16;
            else if (tag == 1 && bits == 24) pcm.format = SampleFormat::S24;
            else if (tag == 1 && bits == 32) pcm.format = SampleFormat::S32;
            else if (tag == 3 && bits == 32) pcm.format = SampleFormat::F32;
            else {
                why = "its samples are format " + std::to_string(tag) + " of " + std::to_string(bits) +
                      " bits (PCM of 8, 16, 24 or 32 bits and 32-bit float are taken)";
                return false;
            }
            if (!CheckShape(pcm.rate, pcm.channels, why)) return false;
            pcm.bytes = file.data() + body;
            // A writer that never came back to fill in the length leaves
            // 0 or 0xFFFFFFFF: the samples run to the end of the file.
            pcm.size = length == 0 || length > available ? available : length;
            return true;
        }
        at = body + length + (length & 1);
    }
    why = haveFormat ? "it has no data chunk" : "it has no fmt chunk";
    return false;
}

bool ParseRawLayout(const std::string& layout, Pcm& pcm, std::string& why) {
    const size_t a = layout.find(':');
    const size_t b = a == std::string::npos ? a : layout.find(':', a + 1);
    if (b == std::string::npos) {
        why = "bad --raw '" + layout + "': expected FORMAT:RATE:CHANNELS, such as s16le:44100:2";
        return false;
    }
    const std::string format = layout.substr(0, a);
    if (format == "u8") pcm.format = SampleFormat::U8;
    else if (format == "s16le") pcm.format = SampleFormat::S16;
    else if (format == "s24le") pcm.format = SampleFormat::S24;
    else if (format == "s32le") pcm.format = SampleFormat::S32;
    else if (format == "f32le") pcm.format = SampleFormat::F32;
    else {
        why = "bad --raw format '" + format + "': expected u8, s16le, s24le, s32le or f32le";
        return false;
    }
    double rate = 0, channels = 0;
    if (!ParseNumber(layout.substr(a + 1, b - a - 1).c_str(), 1, 1e6, rate) ||
        !ParseNumber(layout.substr(b + 1).c_str(), 1, 64, channels) || rate != std::floor(rate) ||
        channels != std::floor(channels)) {
        why = "bad --raw '" + layout + "': expected FORMAT:RATE:CHANNELS, such as s16le:44100:2";
        return false;
    }
    pcm.rate = static_cast<int>(rate);
    pcm.channels = static_cast<int>(channels);
    if (!CheckShape(pcm.rate, pcm.channels, why)) {
        why = "bad --raw '" + layout + "': " + why;
        return false;
    }
    return true;
}

int Run(int argc, char** argv) {
    jolp::RemoveUnfinishedOutputsOnSignals();
    jolp::tools::VorbisSettings settings;
    std::string raw;
    double toneSeconds = 0.0, silenceSeconds = 0.0, hz = 440.0;
    bool hzGiven = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        const bool takesValue = arg == "--quality" || arg == "--raw" || arg == "--tone" || arg == "--silence" || arg == "--hz";
        if (takesValue && i + 1 >= argc) return Usage(std::string(arg) + " needs a value");
        double value = 0.0;
        if (arg == "--quality") {
            if (!ParseNumber(argv[++i], -0.1, 1.0, value)) return Usage(std::string("bad quality '") + argv[i] + "': expected -0.1 to 1");
            settings.quality = static_cast<float>(value);
        } else if (arg == "--raw") {
            raw = argv[++i];
        } else if (arg == "--tone" || arg == "--silence") {
            if (!ParseNumber(argv[++i], 0.0, 3600.0, value) || !(value > 0.0)) {
                return Usage(std::string("bad length '") + argv[i] + "': expected seconds, above 0 and at most 3600");
            }
            (arg == "--tone" ? toneSeconds : silenceSeconds) = value;
        } else if (arg == "--hz") {
            if (!ParseNumber(argv[++i], 1.0, 20000.0, hz)) return Usage(std::string("bad frequency '") + argv[i] + "': expected 1 to 20000 Hz");
            hzGiven = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option '" + std::string(arg) + "'");
        } else {
            positional.emplace_back(arg);
        }
    }
    const int sources = (toneSeconds > 0) + (silenceSeconds > 0) + !raw.empty();
    if (sources > 1) return Usage("--raw, --tone and --silence are one each: give one of them");
    if (hzGiven && toneSeconds <= 0) return Usage("--hz is the frequency of --tone");
    const bool generated = toneSeconds > 0 || silenceSeconds > 0;
    if (positional.size() != (generated ? 1u : 2u)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& out = positional.back();

    std::vector<float> samples;
    if (generated) {
        const double seconds = toneSeconds > 0 ? toneSeconds : silenceSeconds;
        const size_t frames = static_cast<size_t>(seconds * settings.sampleRate);
        samples.assign(frames * 2, 0.0f);
        for (size_t i = 0; toneSeconds > 0 && i < frames; ++i) {
            samples[2 * i] = samples[2 * i + 1] =
                0.25f * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / settings.sampleRate));
        }
    } else {
        const std::string& in = positional[0];
        std::vector<uint8_t> file;
        std::string why;
        if (!jolp::ReadRegularFile(in, kMaxInputBytes, file, why)) return Fail(in + ": " + why);
        Pcm pcm;
        if (raw.empty()) {
            if (!ParseWav(file, pcm, why)) return Fail(in + ": " + why);
        } else {
            if (!ParseRawLayout(raw, pcm, why)) return Usage(why);
            pcm.bytes = file.data();
            pcm.size = file.size();
        }
        const size_t frameBytes = BytesPer(pcm.format) * static_cast<size_t>(pcm.channels);
        if (pcm.size % frameBytes != 0) {
            std::fprintf(stderr, "jolp_ogg: warning: %s: %zu bytes after the last whole frame are left out\n", in.c_str(),
                         pcm.size % frameBytes);
            pcm.size -= pcm.size % frameBytes;
        }
        if (pcm.size == 0) return Fail(in + ": no samples");
        settings.channels = pcm.channels;
        settings.sampleRate = pcm.rate;
        samples = ToFloats(pcm);
    }
    std::string error;
    if (!jolp::tools::WriteOggVorbis(out, samples.data(), samples.size() / static_cast<size_t>(settings.channels),
                                     settings, error)) {
        return Fail(error);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return jolp::FinishStandardOutput("jolp_ogg", Run(argc, argv)); }
