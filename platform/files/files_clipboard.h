// The shared headless clipboard: text.txt holds the CF_TEXT bytes without
// their terminating zero, bitmap.bmp a BMP file (file header + the CF_DIB
// block), rich.rtf the rich text bytes. Every program of the suite reads and
// writes the same folder, so a bitmap placed by one run is there for the next.
#pragma once

#include "platform/clipboard.h"
#include "platform/files/clipboard_folder.h"

namespace varkit {

class FilesClipboard : public Clipboard {
  public:
    explicit FilesClipboard(std::string folder,
                            std::chrono::milliseconds lock_wait = kDefaultLockWait);

    bool open() override;
    bool empty() override;
    bool set_text(std::string_view text) override;
    bool set_dib(const std::vector<std::uint8_t>& dib) override;
    bool set_rich_text(std::string_view rtf) override;
    ClipboardText get_text() override;
    std::optional<std::vector<std::uint8_t>> get_dib() override;
    void close() override;

  private:
    ClipboardFolder folder_;
};

}  // namespace varkit
