#include "platform/interrupt.h"

#include <csignal>

namespace jolp {
namespace {

volatile std::sig_atomic_t gSignal = 0;

extern "C" void OnInterrupt(int signal) { gSignal = signal; }

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() { return gSignal != 0; }
int InterruptSignal() { return static_cast<int>(gSignal); }

}  // namespace jolp
