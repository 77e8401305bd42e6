// The fatal start-up message in a browser (message_box.h): the page's
// status line says it where the canvas would have shown the demo, and the
// console has it as on stderr.
#include "platform/message_box.h"

#include "platform/log.h"
#include "platform/web_canvas.h"

#include <cstdio>

namespace jolp {

void ShowErrorMessage(const std::string& text, const std::string& detail, bool allowWindow) {
    std::fprintf(stderr, "ERROR: %s\n", text.c_str());
    if (!detail.empty()) Log(LogLevel::Error, "%s", detail.c_str());
    (void)allowWindow;  // a page always has somewhere to say it
    ShowPageError("ERROR\n" + text + (detail.empty() ? "" : "\n\n" + detail));
}

}  // namespace jolp
