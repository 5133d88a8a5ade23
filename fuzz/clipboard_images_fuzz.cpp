// The bitmap forms other desktop programs hand the clipboard, over any
// bytes: a BMP file (image/bmp) and a PNG image (image/png) read into a packed
// DIB, and the bytes taken as a DIB block to be offered as PNG. Whatever the
// readers make of an image, the PNG writer takes, and whatever PNG it writes,
// the reader reads.
#include <string_view>

#include "fuzz/support/fuzz_support.h"
#include "platform/dib.h"
#include "platform/image_formats.h"

namespace {

using namespace varkit;
using fuzzing::require;

void offer_as_png(const std::vector<std::uint8_t>& dib) {
    if (std::optional<std::string> png = png_from_dib(dib)) {
        require(dib_from_png(*png).has_value(), "a PNG of our own does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::optional<std::vector<std::uint8_t>> dib = dib_from_bmp_file(bytes)) {
        bmp_file_from_dib(*dib);
        offer_as_png(*dib);
    }
    if (std::optional<std::vector<std::uint8_t>> dib = dib_from_png(bytes)) {
        require(png_from_dib(*dib).has_value(), "a PNG read does not write again");
    }
    offer_as_png(std::vector<std::uint8_t>(data, data + size));
    return 0;
}
