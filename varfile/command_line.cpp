#include "varfile/command_line.h"

#include <cctype>

#include "varfile/host.h"

#ifndef VARKIT_VERSION
#define VARKIT_VERSION "0"
#endif

namespace varkit {

bool is_switch(const char* argument) {
    if (argument[0] == '-') {
        return argument[1] != '-';
    }
    return argument[0] == '/' && !slash_argument_is_path(argument);
}

char switch_letter(const char* argument) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(argument[1])));
}

LongOption split_long_option(const char* argument) {
    std::string_view text(argument);
    text.remove_prefix(text.starts_with("--") ? 2 : 0);
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

CommandLine common_long_option(const LongOption& option) {
    if (option.value) {
        return CommandLine::Bad;
    }
    if (option.name == "help") {
        return CommandLine::Help;
    }
    return option.name == "version" ? CommandLine::Version : CommandLine::Bad;
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

void print_version(std::FILE* out, const char* program) {
    std::fprintf(out, "%s %s\n", program, VARKIT_VERSION);
}

std::optional<int> answer_command_line(CommandLine command_line, std::FILE* out,
                                       const char* program, const char* version,
                                       const char* usage) {
    switch (command_line) {
        case CommandLine::Run:
            return std::nullopt;
        case CommandLine::Version:
            print_version(out, program);
            return 0;
        case CommandLine::Help:
            print_usage(out, program, version, usage);
            return 0;
        case CommandLine::Bad:
            break;
    }
    print_usage(out, program, version, usage);
    return 2;
}

}  // namespace varkit
