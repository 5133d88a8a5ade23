#include <unistd.h>

#include <cstring>

#include "charset/charset.h"
#include "varfile/host.h"

namespace varkit {

std::vector<std::string> command_line_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string header_text(std::string_view argument) {
    return std::string(argument);
}

bool slash_argument_is_path(const char* argument) {
    return std::strchr(argument + 1, '/') != nullptr;
}

bool is_terminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

bool console_shows_unicode(std::FILE*) {
    return console_uses_utf8();
}

void write_console_text(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

// A Unix text file ends its lines with a line feed: nothing to change.
void write_system_line_ends(std::FILE*) {}

}  // namespace varkit
