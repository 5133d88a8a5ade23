#include "platform/clipboard_formats.h"

#include <algorithm>

#include "charset/charset.h"
#include "platform/clipboard.h"
#include "platform/image_formats.h"

namespace varkit {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

bool is_utf8_type(std::string_view type) {
    return type == "UTF8_STRING" || type == "text/plain;charset=utf-8";
}

// The first target the owner gives that `accept` takes.
template <class Accept>
std::optional<Received> first_of(SelectionSource& selection,
                                 const std::vector<std::string>& targets, Accept accept) {
    for (const std::string& target : selection.worth_asking(targets)) {
        std::optional<Received> received = selection.receive(target);
        if (received && accept(*received)) {
            return received;
        }
    }
    return std::nullopt;
}

// Text received as `type`: UTF-8 types map back to calculator codes through
// the character table, any other type is taken byte for byte. Nothing for
// bytes that are not UTF-8.
std::optional<PlainTextFromUnicode> text_from_selection(std::string_view type,
                                                        std::string_view bytes) {
    if (!is_utf8_type(type)) {
        return PlainTextFromUnicode{std::string(bytes), {}, 0};
    }
    std::optional<std::u32string> characters = utf32_from_utf8(bytes);
    if (!characters) {
        return std::nullopt;
    }
    return plain_text_from_unicode(*characters);
}

// A bitmap received as a BMP file or a PNG image, told apart by its
// signature, as a packed DIB.
std::optional<std::vector<std::uint8_t>> dib_from_selection(std::string_view bytes) {
    if (bytes.starts_with("BM")) {
        return dib_from_bmp_file(bytes);
    }
    if (bytes.starts_with(kPngSignature)) {
        return dib_from_png(bytes);
    }
    return std::nullopt;
}

void offer(std::vector<Offer>& offers, const std::vector<std::string>& targets,
           const std::string& type, std::string bytes) {
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    for (const std::string& target : targets) {
        offers.push_back({target, type.empty() ? target : type, shared});
    }
}

}  // namespace

const std::vector<std::string> kTextTargets{"UTF8_STRING", "STRING", "text/plain;charset=utf-8",
                                            "TEXT", "text/plain"};
const std::vector<std::string> kBitmapTargets{"image/bmp", "image/x-bmp", "image/x-MS-bmp",
                                              "image/png"};
const std::vector<std::string> kRichTextTargets{"text/rtf", "application/rtf", "text/richtext",
                                                "Rich Text Format"};

std::vector<Offer> offers_for(const ClipboardContents& contents) {
    std::vector<Offer> offers;
    if (contents.text) {
        offer(offers, {"UTF8_STRING", "text/plain;charset=utf-8"}, "",
              utf8_from_plain_text(*contents.text));
        offer(offers, {"STRING", "TEXT"}, "STRING", *contents.text);
        offer(offers, {"text/plain"}, "", *contents.text);
    }
    if (contents.dib) {
        offer(offers, {"image/bmp", "image/x-bmp", "image/x-MS-bmp"}, "",
              bmp_file_from_dib(*contents.dib));
        if (auto png = png_from_dib(*contents.dib)) {
            offer(offers, {"image/png"}, "", std::move(*png));
        }
    }
    if (contents.rich_text) {
        offer(offers, kRichTextTargets, "", *contents.rich_text);
    }
    return offers;
}

ClipboardText text_from(SelectionSource& selection) {
    ClipboardText text;
    // UTF-8 holding a character the calculator lacks stays refused under the
    // owner's other names for the same bytes (wl-copy offers its text as
    // STRING and TEXT too): taken byte for byte, it would be other characters.
    std::vector<std::string> refused;
    first_of(selection, kTextTargets, [&](const Received& received) {
        if (std::find(refused.begin(), refused.end(), received.bytes) != refused.end()) {
            return false;
        }
        std::optional<PlainTextFromUnicode> converted =
            text_from_selection(received.type, received.bytes);
        if (!converted) {
            return false;
        }
        if (!converted->refused.empty()) {
            refused.push_back(received.bytes);
            text.lacking = text.lacking.value_or(converted->refused.front().character);
            return false;
        }
        text.text = text_up_to_zero(converted->plain);
        return true;
    });
    if (text.text) {
        text.lacking.reset();
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> dib_from(SelectionSource& selection) {
    std::optional<std::vector<std::uint8_t>> dib;
    first_of(selection, kBitmapTargets, [&](const Received& received) {
        dib = dib_from_selection(received.bytes);
        return dib.has_value();
    });
    return dib;
}

std::optional<std::string> rich_text_from(SelectionSource& selection) {
    auto found = first_of(selection, kRichTextTargets, [](const Received&) { return true; });
    if (!found) {
        return std::nullopt;
    }
    return std::move(found->bytes);
}

ClipboardContents contents_of(SelectionSource& selection) {
    if (!selection.has_owner()) {
        return {};
    }
    return {text_from(selection).text, dib_from(selection), rich_text_from(selection)};
}

}  // namespace varkit
