// fade_envelope.h - FadeEnvelope, the rise from black at the start of a
// track and the fall to black at its end, driven by the track's own local
// time and length. A plain record; it refers to its track, owning nothing.
#pragma once

#include "framework/demo_track.h"

namespace tarvel {

struct FadeEnvelope {
    const jolp::DemoTrack* track = nullptr;
    float fadeIn = 0.0f;   // seconds of the rise from 0 to 1
    float fadeOut = 0.0f;  // seconds of the fall from 1 to 0

    // The level at t seconds into the track: t / fadeIn during the rise,
    // 1 - (t - (L - fadeOut)) / fadeOut after L - fadeOut (L the track's
    // length in seconds), 1 between; 0 without a track. Single precision.
    float Value(float t) const;
};

}  // namespace tarvel
