// The open, save and font dialogs. On Linux zenity or kdialog when a display
// and the tool are there, else a prompt on the terminal when standard input
// is one, else cancelled; on Windows the common dialogs.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace varkit::desktop {

enum class FileDialogKind { open, save };

// The chosen path, or nothing when the dialog was cancelled or could not be shown.
std::optional<std::string> choose_file(FileDialogKind kind, const FileDialog& dialog);

// The chosen font's face name, or nothing when cancelled.
std::optional<std::string> choose_font();

}  // namespace varkit::desktop
