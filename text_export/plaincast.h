// Plaincast: copies the text of a TEXT or STR variable file to the
// clipboard, and on request to a text file and to the console.
#pragma once

#include "platform/platform.h"
#include "varfile/command_line.h"

namespace varkit {

int plaincast_main(int argc, char** argv, Runtime& rt);

// The switches and long options the program reads, as --help lists them.
CommandLineSyntax plaincast_command_line();

}  // namespace varkit
