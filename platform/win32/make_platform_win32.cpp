#include <cstdlib>
#include <string_view>

#include "platform/desktop_platform.h"
#include "platform/files/files_clipboard.h"
#include "platform/win32/win32_clipboard.h"

namespace varkit {
namespace {

// The Windows desktop's clipboard, unless VARKIT_CLIPBOARD=files|none puts
// the clipboard folder or no clipboard in its place.
std::unique_ptr<Clipboard> choose_clipboard() {
    const char* value = std::getenv("VARKIT_CLIPBOARD");
    std::string_view forced = value != nullptr ? value : "";
    if (forced == "none") {
        return std::make_unique<NoneClipboard>();
    }
    if (forced == "files") {
        return std::make_unique<FilesClipboard>(default_clipboard_folder());
    }
    return std::make_unique<Win32Clipboard>();
}

}  // namespace

std::unique_ptr<Platform> make_platform() {
    return std::make_unique<DesktopPlatform>(choose_clipboard);
}

}  // namespace varkit
