#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "charset/charset.h"
#include "charset/wide_text.h"
#include "varfile/file_io.h"
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

std::string header_text(std::string_view argument) {
    std::optional<std::u32string> characters = utf32_from_utf8(argument);
    if (!characters) {
        return std::string(argument);
    }
    std::string codes;
    std::u32string_view rest = *characters;
    while (!rest.empty()) {
        if (std::optional<CalculatorCharacter> found = calculator_code_at(rest)) {
            codes += static_cast<char>(found->code);
            rest.remove_prefix(found->length);
            continue;
        }
        std::optional<std::u32string_view> nearest = nearest_characters(rest.front());
        for (char32_t character : nearest.value_or(U"?")) {
            if (std::optional<CalculatorCharacter> stand_in = calculator_code_at({&character, 1})) {
                codes += static_cast<char>(stand_in->code);
            }
        }
        rest.remove_prefix(1);
    }
    return codes;
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

bool console_shows_unicode(std::FILE* stream) {
    return is_terminal(stream);
}

// What the stream holds goes out first, so the text keeps its place.
void write_console_text(std::FILE* stream, std::string_view text) {
    if (!is_terminal(stream)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::fflush(stream);
    HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    const std::wstring wide = wide_from_utf8(text);
    std::wstring_view left = wide;
    while (!left.empty()) {
        DWORD written = 0;
        if (!WriteConsoleW(console, left.data(), static_cast<DWORD>(left.size()), &written,
                           nullptr) ||
            written == 0) {
            set_stream_error(stream);
            return;
        }
        left.remove_prefix(written);
    }
}

void write_system_line_ends(std::FILE* stream) {
    std::fflush(stream);
    _setmode(_fileno(stream), _O_TEXT);
}

}  // namespace varkit
