// What differs between the systems the programs run on: the command line,
// which arguments name paths, what a terminal is, and how a text file's line
// ends are written. Each system has its own source file for these, chosen by
// the build.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

// The arguments as the programs take them: on Windows the wide command line
// in UTF-8, so that every file name reaches the program whatever the code
// page; elsewhere argv as the system gives it.
std::vector<std::string> command_line_arguments(int argc, char** argv);

// The arguments in the form of main()'s argc and argv, for a program's
// logic.
class ProgramArguments {
  public:
    ProgramArguments(int argc, char** argv) : arguments_(command_line_arguments(argc, argv)) {
        for (std::string& argument : arguments_) {
            pointers_.push_back(argument.data());
        }
        pointers_.push_back(nullptr);
    }
    int count() const { return static_cast<int>(arguments_.size()); }
    char** values() { return pointers_.data(); }

  private:
    std::vector<std::string> arguments_;
    std::vector<char*> pointers_;
};

// Text from the command line (a switch's value, a file's name) as it goes
// into a variable's header. On Windows, whose command line the programs take
// in UTF-8, each character becomes its calculator code (a letter the
// calculator lacks its nearest letter, anything else '?'), as the ANSI code
// page gave Latin letters their codes to the original programs; elsewhere the
// bytes stay as they are.
std::string header_text(std::string_view argument);

// True when an argument that begins with '/' names a file rather than a
// switch. On Unix '/' also begins every absolute path: one with a further '/'
// in it ("/home/an/notes.89t") is a path. On Windows '/' always begins a
// switch.
bool slash_argument_is_path(const char* argument);

// True when the stream is a terminal (on Windows a console): not a file, a
// pipe or a device such as /dev/null or NUL.
bool is_terminal(std::FILE* stream);

// True when text shown on `stream` is the calculator's characters in UTF-8,
// written by write_console_text: on Unix in a UTF-8 locale, whatever the
// stream; on Windows when the stream is a console, which shows any character
// through its wide interface. Elsewhere the bytes go out as they are.
bool console_shows_unicode(std::FILE* stream);

// Writes text as console_shows_unicode spelt it: to a Windows console
// through its wide interface (a failure sets the stream's error indicator),
// to anything else as it is.
void write_console_text(std::FILE* stream, std::string_view text);

// Makes an open stream write each line feed as the system's text files end
// their lines: CR LF on Windows, a line feed unchanged elsewhere.
void write_system_line_ends(std::FILE* stream);

}  // namespace varkit
