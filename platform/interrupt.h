// interrupt.h - Ctrl+C and termination requests for headless runs: once the
// handler is installed, SIGINT and SIGTERM only raise a flag that the main
// loop reads between frames, so a capture can stop cleanly (ffmpeg stopped,
// its unfinished file removed) instead of dying half-way.
#pragma once

namespace jolp {

// Installs the handler for SIGINT and SIGTERM (idempotent).
void InstallInterruptHandler();
// Whether SIGINT or SIGTERM arrived since the handler was installed.
bool InterruptRequested();
// The signal that arrived (0 when none).
int InterruptSignal();

}  // namespace jolp
