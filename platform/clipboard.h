// What a clipboard backend does. The platform around it keeps track of
// open/close, checks bitmaps and turns them into their CF_DIB block, so a
// backend is only ever called between a successful open and its close.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace varkit {

class Clipboard {
  public:
    virtual ~Clipboard() = default;

    virtual bool open() = 0;
    virtual bool empty() = 0;
    virtual bool set_text(std::string_view text) = 0;
    // A placed bitmap, already in its packed device-independent form.
    virtual bool set_dib(const std::vector<std::uint8_t>& dib) = 0;
    virtual bool set_rich_text(std::string_view rtf) = 0;
    virtual ClipboardText get_text() = 0;
    virtual std::optional<std::vector<std::uint8_t>> get_dib() = 0;
    virtual void close() = 0;
};

// The clipboard of VARKIT_CLIPBOARD=none: it never opens.
class NoneClipboard : public Clipboard {
  public:
    bool open() override { return false; }
    bool empty() override { return false; }
    bool set_text(std::string_view) override { return false; }
    bool set_dib(const std::vector<std::uint8_t>&) override { return false; }
    bool set_rich_text(std::string_view) override { return false; }
    ClipboardText get_text() override { return {}; }
    std::optional<std::vector<std::uint8_t>> get_dib() override { return std::nullopt; }
    void close() override {}
};

// CF_TEXT ends at its first zero byte, whatever the carrier held after it.
inline std::string text_up_to_zero(std::string_view bytes) {
    return std::string(bytes.substr(0, bytes.find('\0')));
}

}  // namespace varkit
