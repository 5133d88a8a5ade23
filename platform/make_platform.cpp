#include <cstdlib>
#include <string_view>

#include "platform/desktop_platform.h"
#include "platform/files/files_clipboard.h"
#include "platform/platform.h"

namespace varkit {
namespace {

std::string_view forced_backend() {
    const char* value = std::getenv("VARKIT_CLIPBOARD");
    return value != nullptr ? value : "";
}

std::unique_ptr<Clipboard> choose_clipboard() {
    std::string_view forced = forced_backend();
    if (forced == "none" || forced == "x11") {
        return std::make_unique<NoneClipboard>();
    }
    return std::make_unique<FilesClipboard>(default_clipboard_folder());
}

}  // namespace

std::unique_ptr<Platform> make_platform() {
    return std::make_unique<DesktopPlatform>(choose_clipboard);
}

}  // namespace varkit
