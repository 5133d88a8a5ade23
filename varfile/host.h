// What differs between the systems the programs run on: which arguments name
// paths, and how a text file's line ends are written. Each system has its own
// source file for these, chosen by the build.
#pragma once

#include <cstdio>

namespace varkit {

// True when an argument that begins with '/' names a file rather than a
// switch. On Unix '/' also begins every absolute path: one with a further '/'
// in it ("/home/an/notes.89t") is a path. On Windows '/' always begins a
// switch.
bool slash_argument_is_path(const char* argument);

// Makes an open stream write each line feed as the system's text files end
// their lines: CR LF on Windows, a line feed unchanged elsewhere.
void write_system_line_ends(std::FILE* stream);

}  // namespace varkit
