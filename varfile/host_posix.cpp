#include <cstring>

#include "varfile/host.h"

namespace varkit {

bool slash_argument_is_path(const char* argument) {
    return std::strchr(argument + 1, '/') != nullptr;
}

// A Unix text file ends its lines with a line feed: nothing to change.
void write_system_line_ends(std::FILE*) {}

}  // namespace varkit
