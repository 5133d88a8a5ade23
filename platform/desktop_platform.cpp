#include "platform/desktop_platform.h"

#include "platform/desktop/dialogs.h"
#include "platform/desktop/shell.h"
#include "platform/dib.h"

namespace varkit {

DesktopPlatform::DesktopPlatform(ClipboardFactory make_clipboard)
    : make_clipboard_(std::move(make_clipboard)) {}

Clipboard& DesktopPlatform::clipboard() {
    if (!clipboard_) {
        clipboard_ = make_clipboard_();
    }
    return *clipboard_;
}

// Like the desktop's clipboard, ours opens once: a second open before close
// fails, and every other operation needs it open.
bool DesktopPlatform::clipboard_open() {
    if (is_open_ || !clipboard().open()) {
        return false;
    }
    is_open_ = true;
    return true;
}

bool DesktopPlatform::clipboard_empty() {
    return is_open_ && clipboard().empty();
}

bool DesktopPlatform::clipboard_set_text(std::string_view text) {
    return is_open_ && clipboard().set_text(text);
}

bool DesktopPlatform::clipboard_set_bitmap(const DeviceBitmap& bitmap) {
    return is_open_ && is_valid_monochrome(bitmap) && clipboard().set_dib(synthesize_dib(bitmap));
}

bool DesktopPlatform::clipboard_set_rich_text(std::string_view rtf) {
    return is_open_ && clipboard().set_rich_text(rtf);
}

ClipboardText DesktopPlatform::clipboard_get_text() {
    return is_open_ ? clipboard().get_text() : ClipboardText{};
}

std::optional<std::vector<std::uint8_t>> DesktopPlatform::clipboard_get_dib() {
    return is_open_ ? clipboard().get_dib() : std::nullopt;
}

void DesktopPlatform::clipboard_close() {
    if (is_open_) {
        clipboard().close();
        is_open_ = false;
    }
}

std::optional<DeviceBitmap> DesktopPlatform::create_bitmap(const DeviceBitmap& description) {
    if (!is_valid_monochrome(description)) {
        return std::nullopt;
    }
    return description;
}

std::optional<std::string> DesktopPlatform::open_file_dialog(const FileDialog& dialog) {
    return desktop::choose_file(desktop::FileDialogKind::open, dialog);
}

std::optional<std::string> DesktopPlatform::save_file_dialog(const FileDialog& dialog) {
    return desktop::choose_file(desktop::FileDialogKind::save, dialog);
}

std::optional<std::string> DesktopPlatform::font_dialog() {
    return desktop::choose_font();
}

void DesktopPlatform::play_default_sound() {
    desktop::play_default_sound();
}

void DesktopPlatform::open_document(const std::string& path) {
    desktop::open_document(path);
}

}  // namespace varkit
