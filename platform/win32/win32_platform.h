// The platform of a Windows desktop: the Win32 clipboard, device bitmaps made
// by GDI, the common dialogs, the default sound and the shell's "open".
#pragma once

#include <memory>

#include "platform/clipboard.h"
#include "platform/platform.h"

namespace varkit {

class Win32Platform : public Platform {
  public:
    // The Windows clipboard, or in its place the clipboard folder
    // (VARKIT_CLIPBOARD=files) or none at all (VARKIT_CLIPBOARD=none);
    // bitmaps, dialogs, sound and shell are always the desktop's.
    explicit Win32Platform(std::unique_ptr<Clipboard> stand_in = nullptr)
        : stand_in_(std::move(stand_in)) {}

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
    std::unique_ptr<Clipboard> stand_in_;
    bool stand_in_open_ = false;
};

}  // namespace varkit
