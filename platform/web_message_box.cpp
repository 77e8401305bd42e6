// The fatal start-up message in a browser (message_box.h): the page's
// status line says it where the canvas would have shown the demo, and the
// log (the console) has it as stderr has it natively.
#include "platform/message_box.h"

#include "platform/log.h"
#include "platform/web_canvas.h"

namespace jolp {

void ShowErrorMessage(const std::string& text, const std::string& detail, bool allowWindow) {
    // The reason first, then the box's words, as natively.
    if (!detail.empty()) Log(LogLevel::Error, "%s", detail.c_str());
    Log(LogLevel::Fatal, "%s", text.c_str());
    (void)allowWindow;  // a page always has somewhere to say it
    ShowPageError("ERROR\n" + text + (detail.empty() ? "" : "\n\n" + detail));
}

}  // namespace jolp
