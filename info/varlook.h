// Varlook: reports a variable file's header, contents and checksum, repairs
// the checksum and rewrites the name, folder, comment and attribute.
#pragma once

#include "platform/platform.h"
#include "varfile/command_line.h"

namespace varkit {

int varlook_main(int argc, char** argv, Runtime& rt);

// The switches and long options the program reads, as --help lists them.
CommandLineSyntax varlook_command_line();

}  // namespace varkit
