#include "platform/desktop/dialogs.h"

namespace varkit::desktop {

std::optional<std::string> choose_file(FileDialogKind, const FileDialog&) {
    return std::nullopt;
}

std::optional<std::string> choose_font() {
    return std::nullopt;
}

}  // namespace varkit::desktop
