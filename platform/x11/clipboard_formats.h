// How the clipboard's three formats travel as X11 selection targets.
//
// CF_TEXT goes out as UTF8_STRING and text/plain;charset=utf-8 through the
// calculator's character table (5→x, a≤b), so every byte survives the way
// back, and as STRING, TEXT and text/plain byte for byte. A bitmap goes out as
// image/bmp (with the aliases image/x-bmp and image/x-MS-bmp) and image/png;
// rich text as text/rtf, text/richtext, application/rtf and the registered
// format's own name, "Rich Text Format".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/x11/selection_server.h"

namespace varkit::x11 {

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

// Text received as `type`: UTF-8 types map back to calculator codes through
// the character table, or give nothing when they hold a character the
// calculator lacks or bytes that are not UTF-8; any other type is taken
// byte for byte.
std::optional<std::string> text_from_selection(std::string_view type, std::string_view bytes);
// A bitmap received as a BMP file or a PNG image, told apart by its
// signature, as a packed DIB.
std::optional<std::vector<std::uint8_t>> dib_from_selection(std::string_view bytes);

}  // namespace varkit::x11
