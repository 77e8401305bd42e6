// sound_stream.h - the music: jolp::SoundStream (the resource that holds the
// stream handle) and the sound-system calls the program makes.
//
// The calls keep the results the program relies on: lengths and play
// positions in milliseconds, a position of 0 until sound is heard, handle 0
// when a file cannot be opened. Behind them is platform/music_stream (Ogg
// Vorbis through stb_vorbis, output through SDL2 audio).
//
// A handle is owned by the SoundStream that holds it and closed with it.
#pragma once

#include "framework/resource.h"

#include <cstdint>
#include <string>

namespace jolp {

using StreamHandle = uintptr_t;

class SoundStream : public Resource {
public:
    ~SoundStream() override;
    StreamHandle handle = 0;
};

// Opens the sound output. True when it is ready; false is tolerated (the
// demo then runs without sound).
bool SoundInit(int mixRate, int channels, uint32_t flags);
// Shuts the output down; harmless when it never opened.
void SoundClose();
// Whether SoundInit succeeded and SoundClose has not been called since: the
// process-wide sound flag.
bool SoundInitialised();
void SetSoundInitialised(bool initialised);

// 0 when the file cannot be opened or decoded; the reason goes to stderr
// unless the file simply does not exist.
StreamHandle StreamOpen(const std::string& path);
uint32_t StreamGetLengthMs(StreamHandle handle);
// The channel number, -1 when the stream cannot be played.
int32_t StreamPlay(int32_t channel, StreamHandle handle);
// Milliseconds played, 0 until sound is actually being heard.
uint32_t StreamGetTime(StreamHandle handle);
// Plays from ms into the stream (stopping it first when it plays); its time
// then counts on from ms. False when it cannot be played.
bool StreamPlayFrom(StreamHandle handle, uint32_t ms);
bool StreamStop(StreamHandle handle);
bool StreamClose(StreamHandle handle);

}  // namespace jolp
