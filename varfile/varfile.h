// The calculator variable file library, the one header programs include: the
// container with its header, entry table and checksum, the naming switches,
// the shared command-line pieces and the picture contents.
#pragma once

#include "varfile/byte_order.h"
#include "varfile/command_line.h"
#include "varfile/container.h"
#include "varfile/file_io.h"
#include "varfile/naming_options.h"
#include "varfile/picture_contents.h"
