// PNG, JPEG, GIF, WebP and TIFF files through the Windows Imaging Component
// (WebP where Windows has its codec; Wine 8 has none): the same reduction to
// luminance, the same limits and the same check of the size a header declares
// as the suite's own readers. Some codecs (Wine's among them) decode the
// whole image when they open it, so the size is read from the file's header
// here first, and a codec never sees an image the suite would refuse.
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "picture_import/image_readers.h"
#include "platform/win32/wic.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

struct Size {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

std::uint32_t big_endian(Bytes bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[at + i];
    }
    return value;
}

std::uint32_t little_endian(Bytes bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[at + i];
    }
    return value;
}

// The IHDR chunk, first after the signature.
std::optional<Size> png_size(Bytes file) {
    if (file.size() < 24 || big_endian(file, 12, 4) != 0x49484452) {
        return std::nullopt;
    }
    return Size{big_endian(file, 16, 4), big_endian(file, 20, 4)};
}

// The first start-of-frame segment, found by walking the segments.
std::optional<Size> jpeg_size(Bytes file) {
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const std::uint8_t marker = file[at + 1];
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += marker == 0xFF ? 1 : 2;  // fill byte, or a segment without length
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > file.size()) {
                return std::nullopt;
            }
            return Size{big_endian(file, at + 7, 2), big_endian(file, at + 5, 2)};
        }
        at += 2 + big_endian(file, at + 2, 2);
    }
    return std::nullopt;
}

// The logical screen, which every frame lies within.
std::optional<Size> gif_size(Bytes file) {
    if (file.size() < 10) {
        return std::nullopt;
    }
    return Size{little_endian(file, 6, 2), little_endian(file, 8, 2)};
}

// An extended file's canvas, else the frame of a lossy or lossless one.
std::optional<Size> webp_size(Bytes file) {
    if (file.size() < 30) {
        return std::nullopt;
    }
    const std::string_view chunk(reinterpret_cast<const char*>(file.data()) + 12, 4);
    if (chunk == "VP8X") {
        return Size{1 + little_endian(file, 24, 3), 1 + little_endian(file, 27, 3)};
    }
    if (chunk == "VP8 ") {
        return Size{little_endian(file, 26, 2) & 0x3FFF, little_endian(file, 28, 2) & 0x3FFF};
    }
    if (chunk == "VP8L") {
        const std::uint32_t bits = little_endian(file, 21, 4);
        return Size{1 + (bits & 0x3FFF), 1 + (bits >> 14 & 0x3FFF)};
    }
    return std::nullopt;
}

// The first directory's ImageWidth and ImageLength.
std::optional<Size> tiff_size(Bytes file) {
    if (file.size() < 8) {
        return std::nullopt;
    }
    const auto read = file[0] == 'I' ? little_endian : big_endian;
    const std::size_t directory = read(file, 4, 4);
    if (directory + 2 > file.size()) {
        return std::nullopt;
    }
    const std::size_t entries = read(file, directory, 2);
    std::optional<std::uint64_t> width;
    std::optional<std::uint64_t> height;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        if (entry + 12 > file.size()) {
            break;
        }
        const std::uint32_t tag = read(file, entry, 2);
        const std::uint32_t type = read(file, entry + 2, 2);
        if ((tag != 256 && tag != 257) || (type != 3 && type != 4)) {
            continue;
        }
        const std::uint64_t value = read(file, entry + 8, type == 3 ? 2 : 4);
        (tag == 256 ? width : height) = value;
    }
    if (!width || !height) {
        return std::nullopt;
    }
    return Size{*width, *height};
}

void damaged(DecodedImage& decoded, const char* what, HRESULT result) {
    char detail[96];
    std::snprintf(detail, sizeof detail, "%s (Windows Imaging Component error %08lX)", what,
                  static_cast<unsigned long>(result));
    decoded.status = DecodeStatus::Damaged;
    decoded.detail = detail;
}

// A palette of two colours: which index is dark. Of the two the darker is
// on, at equal lightness colour 0; a palette of one colour has white for its
// second.
std::array<std::uint8_t, 2> two_colour_greys(IWICImagingFactory* factory,
                                             IWICBitmapFrameDecode* frame) {
    WICColor colours[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    UINT count = 0;
    wic::Ref<IWICPalette> palette;
    if (SUCCEEDED(factory->CreatePalette(palette.put())) &&
        SUCCEEDED(frame->CopyPalette(palette.get()))) {
        palette->GetColors(2, colours, &count);
    }
    std::uint8_t grey[2];
    for (int i = 0; i < 2; ++i) {
        const WICColor c = colours[i];
        grey[i] = over_white(luminance(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF), c >> 24);
    }
    const bool colour0_dark = grey[0] <= grey[1];
    return {static_cast<std::uint8_t>(colour0_dark ? 0 : 255),
            static_cast<std::uint8_t>(colour0_dark ? 255 : 0)};
}

// The image's rows, `stride` bytes each, one at a time: `grey_of(row, x)`
// gives the pixel's luminance.
template <class GreyOf>
bool read_rows(IWICBitmapSource* source, UINT stride, GreyImage& image, GreyOf grey_of) {
    std::vector<std::uint8_t> row(stride);
    for (UINT y = 0; y < image.height; ++y) {
        const WICRect rows{0, static_cast<INT>(y), static_cast<INT>(image.width), 1};
        if (FAILED(source->CopyPixels(&rows, stride, stride, row.data()))) {
            return false;
        }
        for (UINT x = 0; x < image.width; ++x) {
            image.pixels[std::size_t{y} * image.width + x] = grey_of(row, x);
        }
    }
    return true;
}

// A two-colour image, one bit a pixel: its palette decides.
bool read_two_colours(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, GreyImage& image) {
    const std::array<std::uint8_t, 2> greys = two_colour_greys(factory, frame);
    return read_rows(frame, (image.width + 7) / 8, image,
                     [&greys](const std::vector<std::uint8_t>& row, UINT x) {
                         return greys[(row[x / 8] >> (7 - x % 8)) & 1];
                     });
}

// Any other image, converted to 8-bit blue, green, red and alpha.
bool read_colours(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, GreyImage& image) {
    wic::Ref<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0, WICBitmapPaletteTypeCustom))) {
        return false;
    }
    return read_rows(converter.get(), 4 * image.width, image,
                     [](const std::vector<std::uint8_t>& row, UINT x) {
                         const std::uint8_t* bgra = &row[4 * x];
                         return over_white(luminance(bgra[2], bgra[1], bgra[0]), bgra[3]);
                     });
}

DecodedImage decode_with_wic(Bytes file, const ImageBounds& bounds, ImageFormat format,
                             std::optional<Size> (*declared_size)(Bytes)) {
    DecodedImage decoded;
    decoded.format = format;
    const std::optional<Size> declared = declared_size(file);
    if (!declared) {
        decoded.status = DecodeStatus::Damaged;
        decoded.detail = "its header ends early";
        return decoded;
    }
    if (!start_image(decoded, declared->width, declared->height, bounds)) {
        return decoded;
    }
    wic::Session session;
    IWICImagingFactory* factory = session.factory();
    wic::Ref<IWICStream> stream;
    wic::Ref<IWICBitmapDecoder> decoder;
    wic::Ref<IWICBitmapFrameDecode> frame;
    HRESULT result = factory == nullptr ? E_NOINTERFACE : factory->CreateStream(stream.put());
    if (SUCCEEDED(result)) {
        result = stream->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                              static_cast<DWORD>(file.size()));
    }
    if (SUCCEEDED(result)) {
        result = factory->CreateDecoderFromStream(stream.get(), nullptr,
                                                  WICDecodeMetadataCacheOnDemand, decoder.put());
    }
    if (SUCCEEDED(result)) {
        result = decoder->GetFrame(0, frame.put());
    }
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(result)) {
        result = frame->GetSize(&width, &height);
    }
    if (FAILED(result)) {
        damaged(decoded, "Windows cannot decode it", result);
        return decoded;
    }
    // A frame need not fill a GIF's screen.
    if ((width != decoded.image.width || height != decoded.image.height) &&
        !start_image(decoded, width, height, bounds)) {
        return decoded;
    }
    WICPixelFormatGUID pixels{};
    frame->GetPixelFormat(&pixels);
    GreyImage& image = decoded.image;
    image.two_coloured = IsEqualGUID(pixels, GUID_WICPixelFormatBlackWhite) ||
                         IsEqualGUID(pixels, GUID_WICPixelFormat1bppIndexed);
    const bool read = IsEqualGUID(pixels, GUID_WICPixelFormat1bppIndexed)
                          ? read_two_colours(factory, frame.get(), image)
                          : read_colours(factory, frame.get(), image);
    if (!read) {
        damaged(decoded, "its pixels cannot be read", E_FAIL);
    }
    return decoded;
}

}  // namespace

DecodedImage decode_png(Bytes file, const ImageBounds& bounds) {
    constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < sizeof kSignature || std::memcmp(file.data(), kSignature, 8) != 0) {
        DecodedImage decoded;
        decoded.format = ImageFormat::Png;
        return decoded;
    }
    return decode_with_wic(file, bounds, ImageFormat::Png, png_size);
}

DecodedImage decode_jpeg(Bytes file, const ImageBounds& bounds) {
    return decode_with_wic(file, bounds, ImageFormat::Jpeg, jpeg_size);
}

DecodedImage decode_gif(Bytes file, const ImageBounds& bounds) {
    return decode_with_wic(file, bounds, ImageFormat::Gif, gif_size);
}

DecodedImage decode_webp(Bytes file, const ImageBounds& bounds) {
    return decode_with_wic(file, bounds, ImageFormat::Webp, webp_size);
}

DecodedImage decode_tiff(Bytes file, const ImageBounds& bounds) {
    return decode_with_wic(file, bounds, ImageFormat::Tiff, tiff_size);
}

}  // namespace varkit
