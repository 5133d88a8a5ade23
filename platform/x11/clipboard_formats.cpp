#include "platform/x11/clipboard_formats.h"

#include <memory>

#include "platform/x11/image_formats.h"

namespace varkit::x11 {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

bool is_utf8_type(std::string_view type) {
    return type == "UTF8_STRING" || type == "text/plain;charset=utf-8";
}

void offer(std::vector<Offer>& offers, const std::vector<std::string>& targets,
           const std::string& type, std::string bytes) {
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    for (const std::string& target : targets) {
        offers.push_back({target, type.empty() ? target : type, shared});
    }
}

// The length of the UTF-8 sequence starting at `i` and its code point, or 0
// when the bytes there are not one.
std::size_t decode_utf8(std::string_view s, std::size_t i, char32_t& code_point) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t length = lead < 0x80         ? 1
                         : (lead >> 5) == 6  ? 2
                         : (lead >> 4) == 14 ? 3
                         : (lead >> 3) == 30 ? 4
                                             : 0;
    if (length == 0 || i + length > s.size()) {
        return 0;
    }
    code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next >> 6) != 2) {
            return 0;
        }
        code_point = (code_point << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code_point < kSmallest[length] || code_point > 0x10FFFF) {
        return 0;
    }
    return length;
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
              utf8_from_latin1(*contents.text));
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

std::string text_from_selection(std::string_view type, std::string_view bytes) {
    return is_utf8_type(type) ? latin1_from_utf8(bytes) : std::string(bytes);
}

std::optional<std::vector<std::uint8_t>> dib_from_selection(std::string_view bytes) {
    if (bytes.starts_with("BM")) {
        return dib_from_bmp_file(bytes);
    }
    if (bytes.starts_with(kPngSignature)) {
        return dib_from_png(bytes);
    }
    return std::nullopt;
}

std::string utf8_from_latin1(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string latin1_from_utf8(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t code_point = 0;
        std::size_t length = decode_utf8(utf8, i, code_point);
        if (length == 0) {
            bytes += utf8[i++];
            continue;
        }
        bytes += code_point <= 0xFF ? static_cast<char>(code_point) : '?';
        i += length;
    }
    return bytes;
}

}  // namespace varkit::x11
