#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/win32/win32_platform.h"

namespace varkit {
namespace {

// The C runtime starts the standard streams in text mode, which would put a
// CR before every line feed and end input at a 0x1A byte; the programs'
// texts carry their own line ends, so every byte passes unchanged.
void use_binary_standard_streams() {
    for (std::FILE* stream : {stdin, stdout, stderr}) {
        std::fflush(stream);
        _setmode(_fileno(stream), _O_BINARY);
    }
}

}  // namespace

// The Windows desktop's clipboard, unless VARKIT_CLIPBOARD=none closes it.
std::unique_ptr<Platform> make_platform() {
    use_binary_standard_streams();
    const char* forced = std::getenv("VARKIT_CLIPBOARD");
    const bool use_clipboard = forced == nullptr || std::string_view(forced) != "none";
    return std::make_unique<Win32Platform>(use_clipboard);
}

}  // namespace varkit
