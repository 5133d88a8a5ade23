// Pixelcast: turns a calculator picture into a monochrome bitmap on the
// clipboard, optionally in a BMP file and drawn on the console.
#pragma once

#include "platform/platform.h"

namespace varkit {

int pixelcast_main(int argc, char** argv, Runtime& rt);

}  // namespace varkit
