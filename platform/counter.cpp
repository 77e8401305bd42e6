#include "platform/counter.h"

#include <SDL2/SDL_timer.h>

namespace jolp {

PerformanceCounter& PerformanceCounter::Instance() {
    static PerformanceCounter counter;
    return counter;
}

int64_t PerformanceCounter::Frequency() {
    if (frequency_ == 0) {
        frequency_ = static_cast<int64_t>(SDL_GetPerformanceFrequency());
        first_ = static_cast<int64_t>(SDL_GetPerformanceCounter());
    }
    return frequency_;
}

int64_t PerformanceCounter::FirstReading() {
    Frequency();
    return first_;
}

int64_t PerformanceCounter::Now() { return static_cast<int64_t>(SDL_GetPerformanceCounter()); }

}  // namespace jolp
