// audio_output.h - the process's one sound output: an SDL2 audio device
// playing 32-bit float stereo, pulled from an AudioSource on SDL's audio
// thread.
//
// When no real device can be opened (no sound card, no server) the output
// falls back to SDL's "dummy" driver, which consumes samples in real time
// and plays nothing, so that a clock measured by the music still advances.
// The output does not own its source.
#pragma once

#include <string>

namespace jolp {

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Called on the audio thread: fill frames stereo frames (interleaved
    // left, right) at the output's rate. Must not block.
    virtual void Mix(float* stereo, int frames) = 0;
};

struct AudioOutputInfo {
    int rate = 0;
    int bufferFrames = 0;
    bool dummy = false;
    std::string driver;
};

// Opens the output at the requested rate (the device may run at another;
// AudioOutputRate says which). False, with the reason, when not even the
// dummy driver opens. Opening an open output succeeds at once.
bool OpenAudioOutput(int rate, std::string& error);
void CloseAudioOutput();
bool AudioOutputIsOpen();
AudioOutputInfo GetAudioOutputInfo();

// Starts pulling from source (null: silence). Waits for a running callback
// to finish, so that after the call the old source is no longer touched.
void SetAudioSource(AudioSource* source);

}  // namespace jolp
