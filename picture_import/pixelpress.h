// Pixelpress: builds a TI-89, TI-92 or TI-92 Plus picture variable file from
// a monochrome bitmap on the clipboard or in a BMP file.
#pragma once

#include "platform/platform.h"

namespace varkit {

int pixelpress_main(int argc, char** argv, Runtime& rt);

}  // namespace varkit
