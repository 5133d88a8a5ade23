// The WebP reader, through libwebp: lossy and lossless, with or without
// alpha, and the first frame of an animation on its canvas.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>

#include "picture_import/image_readers.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

struct DeleteDemuxer {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};
using DemuxerPtr = std::unique_ptr<WebPDemuxer, DeleteDemuxer>;

// A frame of the file, released with the demuxer it points into.
class Frame {
  public:
    explicit Frame(const WebPDemuxer* demuxer)
        : found_(WebPDemuxGetFrame(demuxer, 1, &iterator_)) {}
    ~Frame() { WebPDemuxReleaseIterator(&iterator_); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // The whole first frame is in the file.
    bool complete() const { return found_ && iterator_.complete; }
    const WebPIterator& operator*() const { return iterator_; }

  private:
    WebPIterator iterator_{};
    bool found_;
};

void damaged(DecodedImage& decoded, const char* why) {
    decoded.status = DecodeStatus::Damaged;
    decoded.detail = why;
}

const char* status_words(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OUT_OF_MEMORY:
            return "out of memory";
        case VP8_STATUS_BITSTREAM_ERROR:
            return "its image data is broken";
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return "it uses a feature libwebp does not know";
        default:
            return "libwebp cannot decode its image data";
    }
}

// Whether the frame lies on the canvas, as the format requires.
bool on_canvas(const WebPIterator& frame, const GreyImage& image) {
    return frame.x_offset >= 0 && frame.y_offset >= 0 && frame.width > 0 && frame.height > 0 &&
           std::uint64_t(frame.x_offset) + std::uint64_t(frame.width) <= image.width &&
           std::uint64_t(frame.y_offset) + std::uint64_t(frame.height) <= image.height;
}

// The frame's pixels over white at its place on the canvas; the canvas
// around it is transparent.
void read_frame(const WebPIterator& frame, DecodedImage& decoded) {
    GreyImage& image = decoded.image;
    const auto width = static_cast<std::size_t>(frame.width);
    const auto height = static_cast<std::size_t>(frame.height);
    std::vector<std::uint8_t> rgba(width * height * 4);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        damaged(decoded, "libwebp is not the version the program was built with");
        return;
    }
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba.data();
    config.output.u.RGBA.stride = static_cast<int>(width * 4);
    config.output.u.RGBA.size = rgba.size();
    const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA) {
        decoded.status = DecodeStatus::EndsEarly;
        return;
    }
    if (status != VP8_STATUS_OK) {
        damaged(decoded, status_words(status));
        return;
    }
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* out = image.pixels.data() + (frame.y_offset + y) * image.width +
                            static_cast<std::size_t>(frame.x_offset);
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* pixel = rgba.data() + 4 * (y * width + x);
            out[x] = over_white(luminance(pixel[0], pixel[1], pixel[2]), pixel[3]);
        }
    }
}

}  // namespace

DecodedImage decode_webp(Bytes file, const ImageBounds& bounds) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Webp;
    const WebPData data{file.data(), file.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    DemuxerPtr demuxer(WebPDemuxPartial(&data, &state));
    if (!demuxer || state == WEBP_DEMUX_PARSING_HEADER) {
        damaged(decoded, state == WEBP_DEMUX_PARSE_ERROR ? "its chunks break the format's rules"
                                                         : "the file ends inside its headers");
        return decoded;
    }
    // The canvas, refused by the size the headers declare before any frame
    // is decoded.
    if (!start_image(decoded, WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH),
                     WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT), bounds)) {
        return decoded;
    }
    const Frame frame(demuxer.get());
    if (!frame.complete()) {
        decoded.status = DecodeStatus::EndsEarly;
    } else if (!on_canvas(*frame, decoded.image)) {
        damaged(decoded, "its first frame lies outside its canvas");
    } else {
        read_frame(*frame, decoded);
    }
    return decoded;
}

}  // namespace varkit
