#include "runner/interrupt.h"

#include "platform/file_write.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>  // program_invocation_short_name: the executable's name (glibc)
#include <csignal>
#include <cstdio>

namespace jolp {
namespace {

volatile std::sig_atomic_t gSignal = 0;
volatile std::sig_atomic_t gDeferred = 0;
volatile pid_t gChild = 0;
char gMessage[128] = "\ninterrupted\n";
size_t gMessageLength = 13;

extern "C" void OnInterrupt(int signal) {
    if (gDeferred != 0 && gSignal == 0) {
        gSignal = signal;
        return;
    }
    // Only async-signal-safe calls from here on: the child first, so that
    // it writes nothing more, then the files that are not whole.
    const int saved = errno;
    if (gChild > 0) ::kill(gChild, SIGKILL);
    RemoveUnfinishedOutputs();
    ssize_t ignored = ::write(STDERR_FILENO, gMessage, gMessageLength);
    (void)ignored;
    errno = saved;
    ::_exit(1);
}

}  // namespace

void InstallInterruptHandler() {
    const int n = std::snprintf(gMessage, sizeof gMessage, "\n%s: interrupted\n",
                                program_invocation_short_name ? program_invocation_short_name : "program");
    gMessageLength = n > 0 && static_cast<size_t>(n) < sizeof gMessage ? static_cast<size_t>(n) : sizeof gMessage - 1;
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void SetInterruptChild(pid_t child) { gChild = child; }

void SetInterruptsDeferred(bool deferred) { gDeferred = deferred ? 1 : 0; }

bool InterruptRequested() { return gSignal != 0; }
int InterruptSignal() { return static_cast<int>(gSignal); }

}  // namespace jolp
