// music_effects.h - the shared effects of the music mix: a ping-pong echo
// and a stereo room reverb, each fed by a mono send bus.
//
// Owned by the music generator.
#pragma once

#include <vector>

namespace tarvel::content::music {

// Ping-pong echo: repeats every `seconds`, alternating sides, each repeat
// darker and `feedback` times quieter. Adds its output to left and right,
// and `toReverb` of it to the reverb send.
void ApplyEcho(const std::vector<float>& send, double seconds, float feedback, std::vector<float>& left,
               std::vector<float>& right, std::vector<float>& reverbSend, float toReverb);

// A room of parallel damped combs into series all-passes, the right channel
// with slightly longer lines than the left. Adds `wet` of its output.
void ApplyReverb(const std::vector<float>& send, float wet, std::vector<float>& left, std::vector<float>& right);

}  // namespace tarvel::content::music
