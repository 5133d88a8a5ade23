// What differs between the systems the programs run on: the command line,
// which arguments name paths, what a terminal is, and how a text file's line
// ends are written. Each system has its own source file for these, chosen by
// the build.
#pragma once

#include <cstdio>
#include <string>
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

// True when an argument that begins with '/' names a file rather than a
// switch. On Unix '/' also begins every absolute path: one with a further '/'
// in it ("/home/an/notes.89t") is a path. On Windows '/' always begins a
// switch.
bool slash_argument_is_path(const char* argument);

// True when the stream is a terminal (on Windows a console): not a file, a
// pipe or a device such as /dev/null or NUL.
bool is_terminal(std::FILE* stream);

// Makes an open stream write each line feed as the system's text files end
// their lines: CR LF on Windows, a line feed unchanged elsewhere.
void write_system_line_ends(std::FILE* stream);

}  // namespace varkit
