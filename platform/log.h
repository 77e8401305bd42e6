// log.h - the libraries' one way of telling the user something.
//
// Library code neither prints on its own nor names the application: it
// calls Log with a level and a printf-style message, and the sink in force
// decides where the line goes. The default sink writes it on stderr as
//
//   NAME: message               (LogLevel::Info and LogLevel::Error)
//   NAME: warning: message      (LogLevel::Warning)
//   ERROR: message              (LogLevel::Fatal)
//
// NAME being the application's name (SetLogName; the executable's file name
// until one is set). Fatal is the one fatal start-up message, the words of
// the "ERROR" box (message_box.h), headed by the box's caption. An application sets its own sink (SetLogSink) to put
// the lines elsewhere: a window, a file, a test's buffer. A message may hold
// several lines (a compiler's output); it gets the prefix once.
//
// Messages of up to 4 KiB are formatted on the stack and logging them
// allocates nothing, so the steady frame loop may log; a longer one is
// formatted on the heap. Log is meant for the thread that runs the demo.
#pragma once

namespace jolp {

enum class LogLevel { Info, Warning, Error, Fatal };

// Receives every message, without a prefix or a final newline.
using LogSink = void (*)(LogLevel level, const char* message, void* user);

// The name the default sink puts before each line (copied; up to 63 bytes).
void SetLogName(const char* name);
const char* LogName();

// Sends every later message to sink with user; null restores the default.
void SetLogSink(LogSink sink, void* user);

void Log(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The default sink, for a custom sink that also wants the usual line.
void WriteLogLine(LogLevel level, const char* message);

}  // namespace jolp
