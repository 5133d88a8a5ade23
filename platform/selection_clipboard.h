// A desktop clipboard that is a selection some client owns: X11's CLIPBOARD
// or a Wayland seat's selection. What is done with it is written once here;
// a backend adds only the transport.
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
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/clipboard_formats.h"
#include "platform/files/clipboard_folder.h"

namespace varkit {

class SelectionClipboard : public Clipboard {
  public:
    // Fails when the lock stays taken or the display cannot be reached. The
    // connection made here serves every read and the empty until close.
    bool open() override;
    bool empty() override;
    bool set_text(std::string_view text) override;
    bool set_dib(const std::vector<std::uint8_t>& dib) override;
    bool set_rich_text(std::string_view rtf) override;
    ClipboardText get_text() override;
    std::optional<std::vector<std::uint8_t>> get_dib() override;
    void close() override;

    // The process serving what this object set last, or -1; tests use it
    // to end servers they made.
    pid_t serving_child() const { return serving_child_; }

  protected:
    explicit SelectionClipboard(std::string lock_folder);

    // The connection from open to close: kept or made again when it broke.
    virtual bool connect() = 0;
    virtual void disconnect() = 0;
    // The selection as it is now; nothing when the display does not answer.
    virtual std::unique_ptr<SelectionSource> selection() = 0;
    // Leaves the clipboard without an owner; a server of ours then ends.
    virtual bool clear_selection() = 0;
    // Runs in the serving process, over a connection of its own: takes the
    // selection for `offers`, calls `taken` once it holds it (false: the
    // caller gave up waiting, and the selection must go) and then serves
    // until another client takes the selection over.
    virtual void take_and_serve(const std::vector<Offer>& offers,
                                const std::function<bool()>& taken) = 0;

    // For connect(): the connection given or made last, made again when it
    // broke.
    template <class Link>
    static bool keep_connected(std::unique_ptr<Link>& link) {
        if (!link || link->broken()) {
            link = Link::connect();
        }
        return link != nullptr;
    }

  private:
    bool add(const std::function<void(ClipboardContents&)>& change);

    ClipboardFolder lock_folder_;
    // What the clipboard holds since this open's empty or set; nothing until
    // then, when setting must first read back what another owner holds.
    std::optional<ClipboardContents> known_;
    // Emptied and nothing published since: the old owner is sent away at
    // close, so that a set right after the empty takes the selection straight
    // from it and the selection is never left without an owner in between
    // (a bare X server would reset).
    bool empty_pending_ = false;
    pid_t serving_child_ = -1;
};

}  // namespace varkit
