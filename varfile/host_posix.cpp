#include <unistd.h>

#include <cstring>

#include "varfile/host.h"

namespace varkit {

std::vector<std::string> command_line_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool slash_argument_is_path(const char* argument) {
    return std::strchr(argument + 1, '/') != nullptr;
}

bool is_terminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

// A Unix text file ends its lines with a line feed: nothing to change.
void write_system_line_ends(std::FILE*) {}

}  // namespace varkit
