// The real desktop clipboard, the X11 CLIPBOARD selection.
//
// Setting publishes through a detached serving process (serving_child.h), so
// the data stays after the program ends. Setting without emptying first
// joins what the clipboard holds: the current owner's data is read back and
// published again together with the new format. Reading asks the owner,
// whoever it is, for its best target. Our programs take the shared clipboard
// folder's lock from open to close, so two of them never interleave.
#pragma once

#include <sys/types.h>

#include <functional>

#include "platform/clipboard.h"
#include "platform/files/clipboard_folder.h"
#include "platform/x11/clipboard_formats.h"

namespace varkit::x11 {

class X11Clipboard : public Clipboard {
  public:
    explicit X11Clipboard(std::string lock_folder);

    // Fails when the lock stays taken or no display can be opened.
    bool open() override;
    bool empty() override;
    bool set_text(std::string_view text) override;
    bool set_dib(const std::vector<std::uint8_t>& dib) override;
    bool set_rich_text(std::string_view rtf) override;
    std::optional<std::string> get_text() override;
    std::optional<std::vector<std::uint8_t>> get_dib() override;
    void close() override;

    // The process serving what this object set last, or -1; tests use it
    // to end servers they made.
    pid_t serving_child() const { return serving_child_; }

  private:
    bool add(const std::function<void(ClipboardContents&)>& change);

    ClipboardFolder lock_folder_;
    // What the clipboard holds since this open's empty or set; nothing until
    // then, when setting must first read back what another owner holds.
    std::optional<ClipboardContents> known_;
    pid_t serving_child_ = -1;
};

// True when an X display can be opened.
bool display_available();

}  // namespace varkit::x11
