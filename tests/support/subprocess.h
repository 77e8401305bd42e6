// subprocess.h - runs a program as a child process for integration tests:
// arguments, extra environment, a time limit, and what it wrote.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace jolp::testing {

struct ProcessResult {
    int exitCode = -1;     // -1 when killed by a signal or the time limit
    int signal = 0;        // the signal that ended it, 0 if none
    bool timedOut = false;
    double seconds = 0.0;  // wall time from start to exit
    std::string out;
    std::string err;
};

// Environment entries are "NAME=value" to set or "NAME" to remove.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment = {}, double timeoutSeconds = 60.0);

}  // namespace jolp::testing
