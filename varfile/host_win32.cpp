#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "charset/wide_text.h"
#include "varfile/host.h"

namespace varkit {

// The C library's argv went through the ANSI code page, which has no
// letters for most of the world's names: the wide command line has them all.
std::vector<std::string> command_line_arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8_from_wide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool slash_argument_is_path(const char*) {
    return false;
}

// The C library counts every character device as a terminal, NUL among
// them; only a console has a console mode.
bool is_terminal(std::FILE* stream) {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode);
}

void write_system_line_ends(std::FILE* stream) {
    std::fflush(stream);
    _setmode(_fileno(stream), _O_TEXT);
}

}  // namespace varkit
