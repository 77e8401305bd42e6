#include "demo/fade_envelope.h"

namespace tarvel {

float FadeEnvelope::Value(float t) const {
    if (track == nullptr) return 0.0f;
    const float length = static_cast<float>(track->length) / 1000.0f;
    if (t < fadeIn) return t / fadeIn;
    if (t > length - fadeOut) return 1.0f - (t - (length - fadeOut)) / fadeOut;
    return 1.0f;
}

}  // namespace tarvel
