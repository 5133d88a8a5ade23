// The calculator variable file library, the one header programs include: the
// container with its header, entry table and checksum, the naming switches,
// the shared command-line pieces and character forms, the TEXT and STR
// contents with their plain-text form, and the picture contents.
#pragma once

#include "varfile/byte_order.h"
#include "varfile/character_form.h"
#include "varfile/command_line.h"
#include "varfile/container.h"
#include "varfile/file_io.h"
#include "varfile/groups.h"
#include "varfile/host.h"
#include "varfile/member_input.h"
#include "varfile/naming_options.h"
#include "varfile/picture_contents.h"
#include "varfile/text_contents.h"
