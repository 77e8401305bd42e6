#include "runner/capture_progress.h"

#include "platform/log.h"

#include <unistd.h>

namespace jolp {
namespace {

constexpr uint64_t kTerminalIntervalMs = 250;
constexpr uint64_t kPlainIntervalMs = 5000;

}  // namespace

CaptureProgress::CaptureProgress(uint64_t total, bool terminal, uint64_t nowMs, std::FILE* out)
    : out_(out), total_(total), terminal_(terminal), startMs_(nowMs), lastPrintMs_(nowMs) {}

bool CaptureProgress::StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void CaptureProgress::Format(char* out, size_t size, uint64_t done, uint64_t total, uint64_t elapsedMs) {
    const double seconds = static_cast<double>(elapsedMs) / 1000.0;
    const double fps = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
    const double percent = total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 100.0;
    int n = std::snprintf(out, size, "%s: frame %llu of %llu (%.0f%%), %.1f frames/s", LogName(),
                          static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), percent, fps);
    if (n < 0 || static_cast<size_t>(n) >= size) return;
    if (done >= total) {
        std::snprintf(out + n, size - static_cast<size_t>(n), ", done in %.1f s", seconds);
    } else if (fps > 0.0) {
        const uint64_t left = static_cast<uint64_t>(static_cast<double>(total - done) / fps + 0.5);
        if (left >= 60) {
            std::snprintf(out + n, size - static_cast<size_t>(n), ", %llu min %02llu s left",
                          static_cast<unsigned long long>(left / 60), static_cast<unsigned long long>(left % 60));
        } else {
            std::snprintf(out + n, size - static_cast<size_t>(n), ", %llu s left",
                          static_cast<unsigned long long>(left));
        }
    }
}

void CaptureProgress::FrameDone(uint64_t nowMs) {
    ++done_;
    if (done_ >= total_) return;  // Finish prints the last state
    const uint64_t interval = terminal_ ? kTerminalIntervalMs : kPlainIntervalMs;
    if (nowMs - lastPrintMs_ >= interval) Print(nowMs, false);
}

void CaptureProgress::Finish(uint64_t nowMs) {
    if (finished_) return;
    finished_ = true;
    Print(nowMs, true);
}

void CaptureProgress::BreakLine() {
    if (!lineOpen_) return;
    lineOpen_ = false;
    std::fputc('\n', out_);
    std::fflush(out_);
}

void CaptureProgress::Print(uint64_t nowMs, bool final) {
    lastPrintMs_ = nowMs;
    char line[160];
    Format(line, sizeof line, done_, total_, nowMs - startMs_);
    if (terminal_) {
        // Clear what a longer earlier line left behind.
        std::fprintf(out_, "\r%s\x1b[K%s", line, final ? "\n" : "");
        lineOpen_ = !final;
    } else {
        std::fprintf(out_, "%s\n", line);
    }
    std::fflush(out_);
}

}  // namespace jolp
