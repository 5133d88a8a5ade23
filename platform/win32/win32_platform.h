// The platform of a Windows desktop: the Win32 clipboard, device bitmaps made
// by GDI, the common dialogs, the default sound and the shell's "open".
#pragma once

#include "platform/platform.h"

namespace varkit {

class Win32Platform : public Platform {
  public:
    // Without a clipboard (VARKIT_CLIPBOARD=none) opening it always fails;
    // everything else is still the desktop's.
    explicit Win32Platform(bool use_clipboard = true) : use_clipboard_(use_clipboard) {}

    bool clipboard_open() override;
    bool clipboard_empty() override;
    bool clipboard_set_text(std::string_view text) override;
    bool clipboard_set_bitmap(const DeviceBitmap& bitmap) override;
    bool clipboard_set_rich_text(std::string_view rtf) override;
    std::optional<std::string> clipboard_get_text() override;
    std::optional<std::vector<std::uint8_t>> clipboard_get_dib() override;
    void clipboard_close() override;

    std::optional<DeviceBitmap> create_bitmap(const DeviceBitmap& description) override;

    std::optional<std::string> open_file_dialog(const FileDialog& dialog) override;
    std::optional<std::string> save_file_dialog(const FileDialog& dialog) override;
    std::optional<std::string> font_dialog() override;
    void play_default_sound() override;
    void open_document(const std::string& path) override;

  private:
    bool use_clipboard_;
};

}  // namespace varkit
