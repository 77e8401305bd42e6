// interrupt.h - Ctrl+C (SIGINT) and termination requests (SIGTERM).
//
// Once the handler is installed, the first such signal ends the process
// at once with exit status 1, whatever it is doing: loading, waiting in a
// message box, or compiling. Only while interrupts are deferred (the frame
// loop, which reads InterruptRequested between frames, so that a capture
// can stop cleanly: ffmpeg stopped, its unfinished file removed) does the
// first signal merely raise a flag; a second one still ends the process at
// once, in case the loop is stuck inside a frame.
//
// Ending at once, the handler first kills the child process named by
// SetInterruptChild (ffmpeg) and removes every unfinished output file
// (file_write.h), so that no cut-off file and no orphan outlive the run.
//
// The handler is installed before the windowing library starts, which then
// leaves SIGINT and SIGTERM to it.
#pragma once

#include <sys/types.h>

namespace jolp {

// The child the handler kills before it ends the process; 0 for none.
void SetInterruptChild(pid_t child);
// Installs the handler for SIGINT and SIGTERM (idempotent). The line it
// writes when it ends the process is "PROGRAM: interrupted", PROGRAM the
// executable's name.
void InstallInterruptHandler();
// While on, the first signal only raises the flag (see above).
void SetInterruptsDeferred(bool deferred);
// Whether SIGINT or SIGTERM arrived while interrupts were deferred.
bool InterruptRequested();
// The signal that arrived (0 when none).
int InterruptSignal();

}  // namespace jolp
