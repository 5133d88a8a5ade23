// The platform of a desktop or server, Linux or Windows: one clipboard
// backend, chosen when the clipboard is first used, plus device bitmaps, and
// the system's dialogs, default sound and "open" (platform/desktop/ on Linux,
// platform/win32/ on Windows).
#pragma once

#include <functional>
#include <memory>

#include "platform/clipboard.h"
#include "platform/platform.h"

namespace varkit {

class DesktopPlatform : public Platform {
  public:
    using ClipboardFactory = std::function<std::unique_ptr<Clipboard>()>;

    // The factory runs on the first clipboard operation, so a program that
    // never touches the clipboard connects to nothing and creates nothing.
    explicit DesktopPlatform(ClipboardFactory make_clipboard);

    bool clipboard_open() override;
    bool clipboard_empty() override;
    bool clipboard_set_text(std::string_view text) override;
    bool clipboard_set_bitmap(const DeviceBitmap& bitmap) override;
    bool clipboard_set_rich_text(std::string_view rtf) override;
    ClipboardText clipboard_get_text() override;
    std::optional<std::vector<std::uint8_t>> clipboard_get_dib() override;
    void clipboard_close() override;

    std::optional<DeviceBitmap> create_bitmap(const DeviceBitmap& description) override;

    std::optional<std::string> open_file_dialog(const FileDialog& dialog) override;
    std::optional<std::string> save_file_dialog(const FileDialog& dialog) override;
    std::optional<std::string> font_dialog() override;
    void play_default_sound() override;
    void open_document(const std::string& path) override;

  private:
    Clipboard& clipboard();

    ClipboardFactory make_clipboard_;
    std::unique_ptr<Clipboard> clipboard_;
    bool is_open_ = false;
};

}  // namespace varkit
