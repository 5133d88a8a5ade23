#include <cstdlib>
#include <string_view>

#include "platform/win32/win32_platform.h"

namespace varkit {

// The Windows desktop's clipboard, unless VARKIT_CLIPBOARD=none closes it.
std::unique_ptr<Platform> make_platform() {
    const char* forced = std::getenv("VARKIT_CLIPBOARD");
    const bool use_clipboard = forced == nullptr || std::string_view(forced) != "none";
    return std::make_unique<Win32Platform>(use_clipboard);
}

}  // namespace varkit
