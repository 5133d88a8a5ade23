// Varlook: reports a variable file's header, contents and checksum, repairs
// the checksum and rewrites the name, folder, comment and attribute.
#pragma once

#include "platform/platform.h"

namespace varkit {

int varlook_main(int argc, char** argv, Runtime& rt);

}  // namespace varkit
