// message_box.h - the fatal start-up message: an error box with the caption
// "ERROR" where there is a display, and always the same text on stderr,
// followed by a line with the technical detail when there is one.
#pragma once

#include <string>

namespace jolp {

// When allowWindow is false (headless runs) only stderr is written.
void ShowErrorMessage(const std::string& text, const std::string& detail, bool allowWindow);

}  // namespace jolp
