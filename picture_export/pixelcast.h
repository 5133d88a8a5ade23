// Pixelcast: turns a calculator picture into a monochrome bitmap on the
// clipboard, optionally in a BMP file and drawn on the console.
#pragma once

#include "platform/platform.h"
#include "varfile/command_line.h"

namespace varkit {

int pixelcast_main(int argc, char** argv, Runtime& rt);

// The switches and long options the program reads, as --help lists them.
CommandLineSyntax pixelcast_command_line();

}  // namespace varkit
