#include "platform/message_box.h"

#include "platform/log.h"

#include <SDL2/SDL.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <mutex>

namespace jolp {
namespace {

// SDL shows its X11 box from a forked child and waits for it. Were this
// process ended while the box is up (Ctrl+C, SIGTERM, a kill), the box
// would outlive it: an orphan on screen, holding the terminal's output open
// until the display goes away. The fork handler below ties the box's life
// to ours.
std::atomic<pid_t> gBoxOwner{0};

extern "C" void BoxDiesWithItsOwner() {
    const pid_t owner = gBoxOwner.load(std::memory_order_relaxed);
    if (owner == 0) return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The owner may have gone between the fork and the line above.
    if (::getppid() != owner) ::_exit(1);
}

}  // namespace

void ShowErrorMessage(const std::string& text, const std::string& detail, bool allowWindow) {
    // The reason first, on a line of our own; the box's words after it.
    if (!detail.empty()) Log(LogLevel::Error, "%s", detail.c_str());
    Log(LogLevel::Fatal, "%s", text.c_str());
    if (allowWindow) {
        static std::once_flag registered;
        std::call_once(registered, [] { ::pthread_atfork(nullptr, nullptr, &BoxDiesWithItsOwner); });
        gBoxOwner.store(::getpid());
        // Fails quietly where there is no display; the log already has it.
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "ERROR", text.c_str(), nullptr);
        gBoxOwner.store(0);
    }
}

}  // namespace jolp
