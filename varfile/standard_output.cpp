// The end of a run's use of the standard output, in standard C alone, so
// every platform shares it.
#include <cerrno>
#include <cstdio>

#include "varfile/file_io.h"

namespace varkit {

int finish_standard_output(int status) {
    // A standard output that was already closed, with nothing to write to it,
    // is no failure.
    bool failed = std::fflush(stdout) != 0 || std::ferror(stdout);
    failed = (std::fclose(stdout) != 0 && errno != EBADF) || failed;
    if (failed) {
        std::fputs("Error: Can't write to standard output.\n", stderr);
        return 1;
    }
    return status;
}

}  // namespace varkit
