// The backend with no desktop at all: the clipboard never opens, no bitmap
// can be made, every dialog counts as cancelled.
#pragma once

#include "platform/platform.h"

namespace varkit {

class NonePlatform : public Platform {
  public:
    bool clipboard_open() override { return false; }
    bool clipboard_empty() override { return false; }
    bool clipboard_set_text(std::string_view) override { return false; }
    bool clipboard_set_bitmap(const DeviceBitmap&) override { return false; }
    bool clipboard_set_rich_text(std::string_view) override { return false; }
    ClipboardText clipboard_get_text() override { return {}; }
    std::optional<std::vector<std::uint8_t>> clipboard_get_dib() override { return std::nullopt; }
    void clipboard_close() override {}
    std::optional<DeviceBitmap> create_bitmap(const DeviceBitmap&) override { return std::nullopt; }
    std::optional<std::string> open_file_dialog(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> save_file_dialog(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> font_dialog() override { return std::nullopt; }
    void play_default_sound() override {}
    void open_document(const std::string&) override {}
};

}  // namespace varkit
