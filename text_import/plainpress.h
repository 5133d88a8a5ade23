// Plainpress: makes a TEXT or STR variable file from the clipboard's text or
// a text file.
#pragma once

#include "platform/platform.h"

namespace varkit {

int plainpress_main(int argc, char** argv, Runtime& rt);

}  // namespace varkit
