// Command-line pieces every program shares: the "/x or -x, any case" switch
// matcher, varkit's own GNU-style long options, a cursor over the arguments
// and the usage and version printers.
#pragma once

#include <cstdio>
#include <optional>
#include <string_view>

namespace varkit {

// A switch begins with '/' or '-'; only the character after it counts. On Unix
// an argument that begins with '/' and holds a further '/' is an absolute path.
// An argument that begins with "--" is a long option, never a switch.
bool is_switch(const char* argument);

// The upper-case switch character ('\0' for a bare "/" or "-").
char switch_letter(const char* argument);

// What a program's command line asks for.
enum class CommandLine { Run, Help, Version, Bad };

// "--name" or "--name=value", without the dashes.
struct LongOption {
    std::string_view name;
    std::optional<std::string_view> value;
};

LongOption split_long_option(const char* argument);

// The long options every program knows: --help and --version (without a
// value). Anything else is a bad command line.
CommandLine common_long_option(const LongOption& option);

// Walks argv[1] .. argv[argc - 1] in order. A lone "--" ends the options: it
// is passed over, and every argument after it is a file name.
class Arguments {
  public:
    Arguments(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool done() {
        pass_end_of_options();
        return index_ >= argc_;
    }
    // The next argument; only call when not done().
    const char* next() {
        pass_end_of_options();
        return argv_[index_++];
    }
    // A switch's value: the whole next argument whatever it starts with, or
    // nullptr when the switch stood last.
    const char* take_value() { return index_ < argc_ ? argv_[index_++] : nullptr; }
    // The argument take_value() would give, without taking it.
    const char* peek_value() const { return index_ < argc_ ? argv_[index_] : nullptr; }

    // What an argument from next() is, given the arguments before it.
    bool is_switch(const char* argument) const {
        return !options_ended_ && !is_long_option(argument) && varkit::is_switch(argument);
    }
    bool is_long_option(const char* argument) const {
        return !options_ended_ && argument[0] == '-' && argument[1] == '-';
    }

  private:
    void pass_end_of_options() {
        if (!options_ended_ && index_ < argc_ && std::string_view(argv_[index_]) == "--") {
            options_ended_ = true;
            ++index_;
        }
    }

    int argc_;
    char** argv_;
    int index_ = 1;
    bool options_ended_ = false;
};

// Prints "<program> <version>" and then the usage text, with every "%s" of
// the text replaced by the program's name.
void print_usage(std::FILE* out, const char* program, const char* version, const char* text);

// Prints "<program> <suite version>", what --version answers.
void print_version(std::FILE* out, const char* program);

// What every program does with a command line that does not ask for a run:
// the usage text for Help (status 0) and Bad (status 2), the version line for
// Version (status 0). Nothing for Run.
std::optional<int> answer_command_line(CommandLine command_line, std::FILE* out,
                                       const char* program, const char* version,
                                       const char* usage);

}  // namespace varkit
