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
#include <memory>

#include "platform/clipboard.h"
#include "platform/files/clipboard_folder.h"
#include "platform/x11/clipboard_formats.h"
#include "platform/x11/xcb_link.h"

namespace varkit::x11 {

class X11Clipboard : public Clipboard {
  public:
    // `display`, when given, is a connection already made (the one that found
    // the display): the first open works with it instead of connecting again.
    explicit X11Clipboard(std::string lock_folder, std::unique_ptr<XcbLink> display = nullptr);

    // Fails when the lock stays taken or no display can be opened. The
    // connection made here serves every read and the empty until close.
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
    bool give_up_selection();

    ClipboardFolder lock_folder_;
    std::unique_ptr<XcbLink> link_;  // from open to close
    // What the clipboard holds since this open's empty or set; nothing until
    // then, when setting must first read back what another owner holds.
    std::optional<ClipboardContents> known_;
    // Emptied and nothing published since: the old owner is sent away at
    // close, so that a set right after the empty takes the selection straight
    // from it and the server is never left without a client in between (a
    // bare server would reset).
    bool empty_pending_ = false;
    pid_t serving_child_ = -1;
};

}  // namespace varkit::x11
