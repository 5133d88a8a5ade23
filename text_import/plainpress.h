// Plainpress: makes a TEXT or STR variable file from the clipboard's text or
// a text file.
#pragma once

#include "platform/platform.h"
#include "varfile/command_line.h"

namespace varkit {

int plainpress_main(int argc, char** argv, Runtime& rt);

// The switches and long options the program reads, as --help lists them.
CommandLineSyntax plainpress_command_line();

}  // namespace varkit
