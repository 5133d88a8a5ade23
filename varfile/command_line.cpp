#include "varfile/command_line.h"

#include <cctype>
#include <cstring>

namespace varkit {

bool is_switch(const char* argument) {
    if (argument[0] == '-') {
        return true;
    }
    // On Unix "/" also begins every absolute path: one with a further '/' in
    // it ("/home/an/notes.89t") is a file name, not a switch.
    return argument[0] == '/' && std::strchr(argument + 1, '/') == nullptr;
}

char switch_letter(const char* argument) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(argument[1])));
}

void print_usage(std::FILE* out, const char* program, const char* version, const char* text) {
    std::fprintf(out, "%s %s\n", program, version);
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            std::fputs(program, out);
            ++p;
        } else {
            std::fputc(*p, out);
        }
    }
}

}  // namespace varkit
