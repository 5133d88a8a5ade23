// The Windows clipboard as a backend behind DesktopPlatform, which keeps its
// open-once rules: text as CF_UNICODETEXT (the calculator's characters,
// through the character table) beside CF_TEXT (the calculator's bytes), a
// bitmap as the CF_DIB block every backend makes (Windows offers it as
// CF_BITMAP too), rich text in the registered "Rich Text Format".
#pragma once

#include "platform/clipboard.h"

namespace varkit {

class Win32Clipboard : public Clipboard {
  public:
    // Waits a little while another program has the clipboard open.
    bool open() override;
    bool empty() override;
    bool set_text(std::string_view text) override;
    bool set_dib(const std::vector<std::uint8_t>& dib) override;
    bool set_rich_text(std::string_view rtf) override;
    // CF_UNICODETEXT first. A Unicode text holding a character the
    // calculator lacks is refused, and so is the CF_TEXT Windows makes of it;
    // CF_TEXT that its owner placed before (Windows then made the Unicode
    // text of it) is taken byte for byte.
    ClipboardText get_text() override;
    std::optional<std::vector<std::uint8_t>> get_dib() override;
    void close() override;
};

}  // namespace varkit
