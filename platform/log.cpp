#include "platform/log.h"

#include <cerrno>  // program_invocation_short_name: the executable's name (glibc)
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace jolp {
namespace {

char gName[64] = "";
LogSink gSink = nullptr;
void* gUser = nullptr;

}  // namespace

void SetLogName(const char* name) { std::snprintf(gName, sizeof gName, "%s", name ? name : ""); }

const char* LogName() {
    if (gName[0] == '\0' && program_invocation_short_name) SetLogName(program_invocation_short_name);
    return gName;
}

void SetLogSink(LogSink sink, void* user) {
    gSink = sink;
    gUser = user;
}

void WriteLogLine(LogLevel level, const char* message) {
    if (level == LogLevel::Fatal) {
        std::fprintf(stderr, "ERROR: %s\n", message);
    } else {
        std::fprintf(stderr, "%s: %s%s\n", LogName(), level == LogLevel::Warning ? "warning: " : "", message);
    }
    std::fflush(stderr);
}

void Log(LogLevel level, const char* format, ...) {
    char text[4096];
    std::va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string longer;
    const char* message = text;
    if (length >= static_cast<int>(sizeof text)) {
        longer.resize(static_cast<size_t>(length) + 1);
        va_start(args, format);
        std::vsnprintf(longer.data(), longer.size(), format, args);
        va_end(args);
        message = longer.c_str();
    }
    if (gSink) {
        gSink(level, message, gUser);
    } else {
        WriteLogLine(level, message);
    }
}

}  // namespace jolp
