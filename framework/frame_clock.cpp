#include "framework/frame_clock.h"

namespace jolp {

FrameClock::FrameClock(Counter& counter)
    : counter_(&counter),
      frequency_(counter.Frequency()),
      originCounter_(counter.FirstReading()),
      lastCounter_(originCounter_) {}

void FrameClock::Update() {
    const int64_t now = counter_->Now();
    const long double frequency = static_cast<long double>(frequency_);
    const long double d = static_cast<long double>(now - lastCounter_) / frequency;
    deltaSeconds = static_cast<float>(static_cast<float>(d) * static_cast<float>(speed));
    deltaMs = static_cast<int32_t>(static_cast<int64_t>(d * 1000.0L)) * speed;
    const long double e = static_cast<long double>(now - originCounter_) / frequency;
    elapsedSeconds = static_cast<float>(static_cast<float>(speed) * static_cast<float>(e));
    elapsedMs = static_cast<int32_t>(static_cast<int64_t>(e * 1000.0L)) * speed;
    lastCounter_ = now;
}

void FrameClock::Restart() {
    originCounter_ = lastCounter_;
    elapsedMs = 0;
    elapsedSeconds = 0.0f;
    deltaMs = 0;
    deltaSeconds = 0.0f;
    speed = 1;
}

}  // namespace jolp
