#include <fcntl.h>
#include <io.h>

#include "varfile/host.h"

namespace varkit {

bool slash_argument_is_path(const char*) {
    return false;
}

void write_system_line_ends(std::FILE* stream) {
    std::fflush(stream);
    _setmode(_fileno(stream), _O_TEXT);
}

}  // namespace varkit
