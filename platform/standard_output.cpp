#include "platform/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace jolp {

int FinishStandardOutput(const char* program, int exitCode) {
    // A write that failed earlier has already lost its bytes and its errno;
    // the flush and the close report their own.
    const bool earlier = std::ferror(stdout) != 0;
    errno = 0;
    bool failed = std::fflush(stdout) != 0;
    int error = failed ? errno : 0;
    if (std::fclose(stdout) != 0) {
        // Closing a standard output that was never open (">&-") is no
        // failure when nothing was written to it.
        if (errno != EBADF || earlier || failed) {
            failed = true;
            if (error == 0) error = errno;
        }
    }
    if (!earlier && !failed) return exitCode;
    if (error != 0) {
        std::fprintf(stderr, "%s: cannot write standard output (%s)\n", program, std::strerror(error));
    } else {
        std::fprintf(stderr, "%s: cannot write standard output\n", program);
    }
    return exitCode == 0 ? 1 : exitCode;
}

}  // namespace jolp
