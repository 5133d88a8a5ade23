#include "platform/x11/clipboard_formats.h"

#include <memory>

#include "charset/charset.h"
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

std::optional<std::string> text_from_selection(std::string_view type, std::string_view bytes) {
    if (!is_utf8_type(type)) {
        return std::string(bytes);
    }
    PlainTextFromUtf8 converted = plain_text_from_utf8(bytes);
    if (converted.refusal) {
        return std::nullopt;
    }
    return std::move(converted.plain);
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

}  // namespace varkit::x11
