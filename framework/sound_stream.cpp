#include "framework/sound_stream.h"

#include "platform/audio_output.h"
#include "platform/log.h"
#include "platform/music_stream.h"

#include <cstdio>
#include <filesystem>

namespace jolp {
namespace {

bool g_soundInitialised = false;

MusicStream* FromHandle(StreamHandle handle) { return reinterpret_cast<MusicStream*>(handle); }

}  // namespace

SoundStream::~SoundStream() {
    if (handle != 0) StreamClose(handle);
    handle = 0;
}

bool SoundInit(int mixRate, int, uint32_t) {
    std::string error;
    if (!OpenAudioOutput(mixRate, error)) {
        Log(LogLevel::Error, "%s; running without sound", error.c_str());
        return false;
    }
    return true;
}

void SoundClose() { CloseAudioOutput(); }

bool SoundInitialised() { return g_soundInitialised; }
void SetSoundInitialised(bool initialised) { g_soundInitialised = initialised; }

StreamHandle StreamOpen(const std::string& path) {
    std::string error;
    std::unique_ptr<MusicStream> stream = MusicStream::Open(path, error);
    if (!stream) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) Log(LogLevel::Error, "%s", error.c_str());
        return 0;
    }
    return reinterpret_cast<StreamHandle>(stream.release());
}

uint32_t StreamGetLengthMs(StreamHandle handle) { return handle ? FromHandle(handle)->LengthMs() : 0; }

int32_t StreamPlay(int32_t, StreamHandle handle) {
    if (!handle || !FromHandle(handle)->Play()) return -1;
    return 0;
}

uint32_t StreamGetTime(StreamHandle handle) { return handle ? FromHandle(handle)->PositionMs() : 0; }

bool StreamPlayFrom(StreamHandle handle, uint32_t ms) { return handle && FromHandle(handle)->PlayFrom(ms); }

bool StreamStop(StreamHandle handle) {
    if (!handle) return false;
    FromHandle(handle)->Stop();
    return true;
}

bool StreamClose(StreamHandle handle) {
    if (!handle) return false;
    delete FromHandle(handle);
    return true;
}

}  // namespace jolp
