// How the clipboard's three formats travel as targets of a desktop
// selection, the same on X11 (targets are atoms of these names) and on
// Wayland (targets are these MIME types); a backend adds only the transport.
//
// CF_TEXT goes out as UTF8_STRING and text/plain;charset=utf-8 through the
// calculator's character table (5→x, a≤b), so every byte survives the way
// back, and as STRING, TEXT and text/plain byte for byte. A bitmap goes out as
// image/bmp (with the aliases image/x-bmp and image/x-MS-bmp) and image/png;
// rich text as text/rtf, text/richtext, application/rtf and the registered
// format's own name, "Rich Text Format".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varkit {

// One target we offer: the bytes sent for it and the type they are sent as
// (an X11 reply carries a type of its own; on Wayland the target is the
// type).
struct Offer {
    std::string target;
    std::string type;
    std::shared_ptr<const std::string> bytes;
};

struct ClipboardContents {
    std::optional<std::string> text;
    std::optional<std::vector<std::uint8_t>> dib;
    std::optional<std::string> rich_text;
};

std::vector<Offer> offers_for(const ClipboardContents& contents);

// The targets to ask for each format, best first.
extern const std::vector<std::string> kTextTargets;
extern const std::vector<std::string> kBitmapTargets;
extern const std::vector<std::string> kRichTextTargets;

// The selection's bytes as one target, with the type the owner gave them.
struct Received {
    std::string type;
    std::string bytes;
};

// The selection as a backend reaches it.
class SelectionSource {
  public:
    virtual ~SelectionSource() = default;
    virtual bool has_owner() = 0;
    // Of `targets`, best first, the ones worth asking the owner for, in the
    // same order.
    virtual std::vector<std::string> worth_asking(const std::vector<std::string>& targets) = 0;
    // The selection as `target`; nothing when the owner refused it, sent too
    // much or stopped answering.
    virtual std::optional<Received> receive(const std::string& target) = 0;
};

// What the selection holds in each format, from the best target that gives
// it. Text comes from UTF-8 targets through the calculator's character table
// and from the others byte for byte; a UTF-8 text holding a character the
// calculator lacks, or bytes that are not UTF-8, are passed over for the
// owner's next text target, and when none gives text the first such
// character is named. The text ends at its first zero byte. A bitmap comes
// from a BMP file or a PNG image, told apart by their signatures.
ClipboardText text_from(SelectionSource& selection);
std::optional<std::vector<std::uint8_t>> dib_from(SelectionSource& selection);
std::optional<std::string> rich_text_from(SelectionSource& selection);
// All three, to publish again beside a new format.
ClipboardContents contents_of(SelectionSource& selection);

}  // namespace varkit
