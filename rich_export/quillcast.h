// Quillcast: turns a TEXT, STR or lab report variable file into an RTF
// document, written to a named file or placed on the clipboard under "Rich
// Text Format". Without an input file it asks for its files and a font
// through the desktop's dialogs.
#pragma once

#include <string>

#include "platform/platform.h"
#include "varfile/command_line.h"

namespace varkit {

int quillcast_main(int argc, char** argv, Runtime& rt);

// The switches and long options the program reads, as --help lists them.
CommandLineSyntax quillcast_command_line();

// Places the finished RTF file's text on the clipboard, without emptying it
// first, and says how that went. 1 on success, 0 on failure.
int rtf_copy_file_to_clipboard(const std::string& path, Runtime& rt);

}  // namespace varkit
