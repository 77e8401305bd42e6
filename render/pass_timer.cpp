#include "render/pass_timer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace jolp {

PassTimer::PassTimer(GfxDevice& device) : device_(device) {}

PassTimer::~PassTimer() = default;

void PassTimer::SetOn(bool on) {
    on_ = on;
    inFrame_ = false;
    if (!on || useQueries_) return;
    if (!device_.GetDeviceCaps().timestampsTimePasses) return;
    for (Frame& frame : frames_) {
        for (auto& query : frame.queries) {
            if (!query) query = device_.CreateTimestampQuery();
            if (!query) return;  // waited, then
        }
    }
    useQueries_ = true;
}

void PassTimer::Begin() {
    if (!on_) return;
    Frame& frame = frames_[current_];
    if (useQueries_) {
        if (frame.pending && !Collect(frame)) frame.pending = false;  // too slow to wait for: dropped
        frame.queries[0]->Issue();
    } else {
        device_.Finish();
        lastMark_ = Clock::now();
    }
    frame.count = 0;
    lights_ = 0;
    inFrame_ = true;
}

void PassTimer::Mark(TimedPass pass, const char* light, int32_t lightIndex) {
    if (!on_ || !inFrame_) return;
    if ((pass == TimedPass::ShadowCube || pass == TimedPass::Light) &&
        (lightIndex < 0 || static_cast<size_t>(lightIndex) >= kMaxLights)) {
        return;  // its time goes to the next pass timed
    }
    Frame& frame = frames_[current_];
    if (frame.count >= kMaxMarks) return;
    PassTime& entry = frame.passes[frame.count];
    entry = PassTime{pass, light, lightIndex, 0.0f};
    if (useQueries_) {
        frame.queries[frame.count + 1]->Issue();
    } else {
        device_.Finish();
        const Clock::time_point now = Clock::now();
        entry.ms = std::chrono::duration<float, std::milli>(now - lastMark_).count();
        lastMark_ = now;
    }
    ++frame.count;
}

void PassTimer::End() {
    if (!on_ || !inFrame_) return;
    inFrame_ = false;
    Frame& frame = frames_[current_];
    if (!useQueries_) {
        std::copy(frame.passes.begin(), frame.passes.begin() + static_cast<std::ptrdiff_t>(frame.count), last_.begin());
        lastCount_ = frame.count;
        return;
    }
    frame.pending = true;
    current_ = (current_ + 1) % kFrames;
    // The oldest frames first, so that the newest one ready is kept.
    for (size_t k = 0; k + 1 < kFrames; ++k) {
        Frame& older = frames_[(current_ + k) % kFrames];
        if (older.pending) Collect(older);
    }
}

bool PassTimer::Collect(Frame& frame) {
    uint64_t stamps[kMaxMarks + 1];
    // The device gets through its commands in order: when the last stamp is
    // there, so are the others.
    if (!frame.queries[frame.count]->GetData(stamps[frame.count])) return false;
    for (size_t i = 0; i < frame.count; ++i) {
        if (!frame.queries[i]->GetData(stamps[i])) return false;
    }
    for (size_t i = 0; i < frame.count; ++i) {
        last_[i] = frame.passes[i];
        last_[i].ms = stamps[i + 1] >= stamps[i] ? static_cast<float>(stamps[i + 1] - stamps[i]) / 1e6f : 0.0f;
    }
    lastCount_ = frame.count;
    frame.pending = false;
    return true;
}

namespace {

// Appends to a bounded text, always terminated.
class Writer {
public:
    Writer(char* text, size_t size) : text_(text), size_(size) {
        if (size_) text_[0] = '\0';
    }
    void Add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (used_ + 1 >= size_) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(text_ + used_, size_ - used_, format, args);
        va_end(args);
        if (n > 0) used_ = std::min(size_ - 1, used_ + static_cast<size_t>(n));
    }
    size_t Used() const { return used_; }

private:
    char* text_;
    size_t size_;
    size_t used_ = 0;
};

const char* FixedPassName(TimedPass pass) {
    switch (pass) {
        case TimedPass::Ambient: return "ambient";
        case TimedPass::Water: return "water";
        case TimedPass::Additive: return "additive";
        case TimedPass::Composite: return "composite";
        default: return nullptr;
    }
}

}  // namespace

size_t DescribePassTimes(std::span<const PassTime> times, bool waited, char* text, size_t size) {
    Writer out(text, size);
    if (times.empty()) return 0;
    float total = 0.0f;
    for (const PassTime& t : times) total += t.ms;
    out.Add("device ms%s: %.1f a frame\n", waited ? " (waited for after each pass)" : "", total);
    const char* gap = "";
    for (const PassTime& t : times) {
        if (const char* name = FixedPassName(t.pass)) {
            out.Add("%s%s %.1f", gap, name, t.ms);
            gap = "  ";
        }
    }
    for (size_t i = 0; i < times.size(); ++i) {
        const PassTime& t = times[i];
        if (t.pass != TimedPass::Light) continue;
        char unnamed[24];
        const char* name = t.light;
        if (!name) {
            std::snprintf(unnamed, sizeof unnamed, "light %d", t.lightIndex + 1);
            name = unnamed;
        }
        out.Add("\n%s %.1f", name, t.ms);
        if (i > 0 && times[i - 1].pass == TimedPass::ShadowCube && times[i - 1].lightIndex == t.lightIndex) {
            out.Add(" + shadow cube %.1f", times[i - 1].ms);
        }
    }
    return out.Used();
}

}  // namespace jolp
