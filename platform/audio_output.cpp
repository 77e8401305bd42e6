#include "platform/audio_output.h"

#include "platform/log.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>

namespace jolp {
namespace {

SDL_AudioDeviceID g_device = 0;
SDL_AudioSpec g_spec{};
AudioSource* g_source = nullptr;  // read on the audio thread under the device lock
bool g_dummy = false;
std::string g_driver;

void SDLCALL Callback(void*, Uint8* stream, int bytes) {
    const int frames = bytes / static_cast<int>(2 * sizeof(float));
    float* out = reinterpret_cast<float*>(stream);
    if (g_source) {
        g_source->Mix(out, frames);
    } else {
        std::memset(stream, 0, static_cast<size_t>(bytes));
    }
}

bool OpenDevice(int rate) {
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = Callback;
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &g_spec, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    return g_device != 0;
}

}  // namespace

bool OpenAudioOutput(int rate, std::string& error) {
    if (g_device != 0) return true;
    g_dummy = false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && OpenDevice(rate)) {
        g_driver = SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "";
        g_dummy = g_driver == "dummy";
        SDL_PauseAudioDevice(g_device, 0);
        return true;
    }
    const std::string realError = SDL_GetError();
    // No usable sound device: keep time with the dummy driver instead.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    const bool opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && OpenDevice(rate);
    SDL_SetHint(SDL_HINT_AUDIODRIVER, nullptr);
    if (!opened) {
        error = "audio: " + realError + "; the dummy driver failed too: " + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    g_dummy = true;
    g_driver = "dummy";
    Log(LogLevel::Error, "no sound device (%s); playing silently", realError.c_str());
    SDL_PauseAudioDevice(g_device, 0);
    return true;
}

void CloseAudioOutput() {
    if (g_device == 0) return;
    SDL_CloseAudioDevice(g_device);
    g_device = 0;
    g_source = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioOutputIsOpen() { return g_device != 0; }

AudioOutputInfo GetAudioOutputInfo() {
    AudioOutputInfo info;
    if (g_device == 0) return info;
    info.rate = g_spec.freq;
    info.bufferFrames = g_spec.samples;
    info.dummy = g_dummy;
    info.driver = g_driver;
    return info;
}

void SetAudioSource(AudioSource* source) {
    if (g_device == 0) {
        g_source = source;
        return;
    }
    SDL_LockAudioDevice(g_device);
    g_source = source;
    SDL_UnlockAudioDevice(g_device);
}

}  // namespace jolp
