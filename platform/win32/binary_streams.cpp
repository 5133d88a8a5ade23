// Linked into every Windows program. The C runtime starts the standard
// streams in text mode, which would put a CR before every line feed written
// and end input at a 0x1A byte; the programs' texts carry their own line
// ends, so every byte passes unchanged, as on Unix.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <initializer_list>

namespace {

bool use_binary_standard_streams() {
    for (std::FILE* stream : {stdin, stdout, stderr}) {
        _setmode(_fileno(stream), _O_BINARY);
    }
    return true;
}

[[maybe_unused]] const bool standard_streams_are_binary = use_binary_standard_streams();

}  // namespace
