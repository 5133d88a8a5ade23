// The GIF reader, through giflib: the first frame of a still or animated
// image, interlaced or not, its transparent colour over white.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "picture_import/image_readers.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

// The file's bytes as giflib reads them, in order.
struct GifSource {
    Bytes file;
    std::size_t at = 0;
};

int read_bytes(GifFileType* gif, GifByteType* into, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t taken =
        std::min(static_cast<std::size_t>(std::max(count, 0)), source->file.size() - source->at);
    std::memcpy(into, source->file.data() + source->at, taken);
    source->at += taken;
    return static_cast<int>(taken);
}

struct CloseGif {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifPtr = std::unique_ptr<GifFileType, CloseGif>;

// The data ends before the frame's last row, or breaks the format's rules.
void failed(DecodedImage& decoded, int error) {
    const bool cut = error == D_GIF_ERR_READ_FAILED || error == D_GIF_ERR_EOF_TOO_SOON;
    decoded.status = cut ? DecodeStatus::EndsEarly : DecodeStatus::Damaged;
    const char* words = GifErrorString(error);
    decoded.detail = words != nullptr ? words : "giflib error " + std::to_string(error);
}

// Passes over the blocks before the first frame, keeping the transparent
// colour its graphic control extension names; false at a failure or when
// the file holds no frame.
bool find_first_frame(GifFileType* gif, int& transparent, DecodedImage& decoded) {
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) {
            failed(decoded, gif->Error);
            return false;
        }
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) {
                failed(decoded, gif->Error);
                return false;
            }
            return true;
        }
        if (record == TERMINATE_RECORD_TYPE) {
            decoded.status = DecodeStatus::Damaged;
            decoded.detail = "it holds no image";
            return false;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (record == EXTENSION_RECORD_TYPE && DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
            failed(decoded, gif->Error);
            return false;
        }
        GraphicsControlBlock control;
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
            DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            transparent = control.TransparentColor;
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                failed(decoded, gif->Error);
                return false;
            }
        }
    }
}

// Each colour's luminance, the transparent one white.
std::vector<std::uint8_t> grey_of_colours(const ColorMapObject& map, int transparent) {
    std::vector<std::uint8_t> grey;
    for (int i = 0; i < map.ColorCount; ++i) {
        const GifColorType& colour = map.Colors[i];
        grey.push_back(i == transparent ? 255 : luminance(colour.Red, colour.Green, colour.Blue));
    }
    return grey;
}

// The frame's rows in the order they are stored: an interlaced frame in four
// passes, every 8th row from 0, every 8th from 4, every 4th from 2, every
// 2nd from 1.
std::vector<std::uint32_t> stored_row_order(std::uint32_t height, bool interlaced) {
    std::vector<std::uint32_t> order;
    if (!interlaced) {
        for (std::uint32_t y = 0; y < height; ++y) {
            order.push_back(y);
        }
        return order;
    }
    constexpr std::uint32_t kPasses[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& [first, step] : kPasses) {
        for (std::uint32_t y = first; y < height; y += step) {
            order.push_back(y);
        }
    }
    return order;
}

void read_frame(GifFileType* gif, const std::vector<std::uint8_t>& grey, DecodedImage& decoded) {
    const GifImageDesc& frame = gif->Image;
    const auto width = static_cast<std::uint32_t>(frame.Width);
    std::vector<GifPixelType> line(std::max<std::uint32_t>(width, 1));
    GreyImage& image = decoded.image;
    for (std::uint32_t row :
         stored_row_order(static_cast<std::uint32_t>(frame.Height), frame.Interlace)) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) {
            failed(decoded, gif->Error);
            return;
        }
        std::uint8_t* out = image.pixels.data() + std::size_t{frame.Top + row} * image.width +
                            std::size_t(frame.Left);
        for (std::uint32_t x = 0; x < width; ++x) {
            out[x] = grey[std::min<std::size_t>(line[x], grey.size() - 1)];
        }
    }
}

}  // namespace

DecodedImage decode_gif(Bytes file, const ImageBounds& bounds) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Gif;
    GifSource source{file};
    int error = 0;
    GifPtr gif(DGifOpen(&source, read_bytes, &error));
    if (!gif) {
        failed(decoded, error);
        decoded.status = DecodeStatus::Damaged;
        return decoded;
    }
    int transparent = NO_TRANSPARENT_COLOR;
    if (!find_first_frame(gif.get(), transparent, decoded)) {
        return decoded;
    }
    // The image is the logical screen, enlarged to hold a first frame that
    // reaches past it, as web browsers show such files; all of it is known
    // before any pixel is decoded. What the frame leaves is transparent.
    const GifImageDesc& frame = gif->Image;
    const std::uint64_t width = std::max<std::int64_t>(gif->SWidth, frame.Left + frame.Width);
    const std::uint64_t height = std::max<std::int64_t>(gif->SHeight, frame.Top + frame.Height);
    if (!start_image(decoded, width, height, bounds)) {
        return decoded;
    }
    const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (map == nullptr || map->ColorCount == 0) {
        failed(decoded, D_GIF_ERR_NO_COLOR_MAP);
        return decoded;
    }
    read_frame(gif.get(), grey_of_colours(*map, transparent), decoded);
    return decoded;
}

}  // namespace varkit
