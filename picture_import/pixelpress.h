// Pixelpress: builds a TI-89, TI-92 or TI-92 Plus picture variable file from
// a monochrome bitmap on the clipboard or in a BMP file.
#pragma once

#include "platform/platform.h"
#include "varfile/command_line.h"

namespace varkit {

int pixelpress_main(int argc, char** argv, Runtime& rt);

// The switches and long options the program reads, as --help lists them.
CommandLineSyntax pixelpress_command_line();

}  // namespace varkit
