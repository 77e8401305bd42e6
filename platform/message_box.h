// message_box.h - the fatal start-up message: an error box with the caption
// "ERROR" where there is a display, and always the same words in the log
// (LogLevel::Fatal: "ERROR: text" on stderr unless a sink takes it), after
// a line with the technical detail when there is one.
#pragma once

#include <string>

namespace jolp {

// When allowWindow is false (headless runs) only the log has it.
void ShowErrorMessage(const std::string& text, const std::string& detail, bool allowWindow);

}  // namespace jolp
