// capture_progress.h - CaptureProgress, the progress line of a headless
// capture on stderr: frames done of the total, frames per second and the
// time left.
//
// On a terminal it is one line, rewritten in place a few times a second and
// ended when the capture ends; anywhere else (a log, a pipe) a plain line
// now and then. Nothing is allocated after construction.
#pragma once

#include <cstdint>
#include <cstdio>

namespace jolp {

class CaptureProgress {
public:
    // total: frames the capture will write. terminal: rewrite one line
    // (true) or print plain lines (false). nowMs: a monotonic clock.
    CaptureProgress(uint64_t total, bool terminal, uint64_t nowMs, std::FILE* out = stderr);

    // One more frame done at nowMs; prints when it is time to.
    void FrameDone(uint64_t nowMs);
    // Prints the final state (and ends the terminal's line) once.
    void Finish(uint64_t nowMs);
    // Ends the terminal's line early, so that a message can follow on a
    // line of its own; nothing when no line is open.
    void BreakLine();

    uint64_t Done() const { return done_; }

    // Formats the line for done of total frames after elapsedMs into out
    // (at most size bytes, always terminated), the log's name first.
    // Public for tests.
    static void Format(char* out, size_t size, uint64_t done, uint64_t total, uint64_t elapsedMs);

    // Whether stderr is a terminal.
    static bool StderrIsTerminal();

private:
    void Print(uint64_t nowMs, bool final);

    std::FILE* out_;
    uint64_t total_;
    bool terminal_;
    bool lineOpen_ = false;  // a terminal line was printed and not yet ended
    bool finished_ = false;
    uint64_t done_ = 0;
    uint64_t startMs_;
    uint64_t lastPrintMs_;
};

}  // namespace jolp
