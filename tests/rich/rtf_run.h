// Runs the document writer on a variable file held in memory.
#pragma once

#include <string>

#include "rich_export/rtf_writer.h"
#include "tests/support/test_files.h"

namespace varkit::testing {

struct Converted {
    int result = -1;
    std::string rtf;
    std::string err;
    bool run_ended = false;
};

// Converts `file` with `settings` and returns the document, the messages and the result. Pictures
// go through `platform`, a fresh fake one when none is given.
Converted convert(const Bytes& file, const RtfSettings& settings = {},
                  Platform* platform = nullptr);

}  // namespace varkit::testing
