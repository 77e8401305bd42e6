#include "platform/message_box.h"

#include "platform/log.h"

#include <SDL2/SDL.h>

#include <cstdio>

namespace jolp {

void ShowErrorMessage(const std::string& text, const std::string& detail, bool allowWindow) {
    std::fprintf(stderr, "ERROR: %s\n", text.c_str());
    if (!detail.empty()) Log(LogLevel::Error, "%s", detail.c_str());
    std::fflush(stderr);
    if (allowWindow) {
        // Fails quietly where there is no display; stderr already has it.
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "ERROR", text.c_str(), nullptr);
    }
}

}  // namespace jolp
