// The JPEG reader, through libjpeg-turbo: baseline and progressive, grey,
// colour (YCbCr or RGB) and CMYK, also Adobe's inverted CMYK.
#include <csetjmp>
#include <cstdio>
// libjpeg's headers need stdio's declarations first.
#include <jerror.h>
#include <jpeglib.h>

#include "picture_import/image_readers.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

// Each scan of a progressive file is a pass over the whole image; real files
// have about ten, a hostile one could hold thousands.
constexpr int kMostScans = 100;

// libjpeg's error handler, with the jump back to the call of JpegReader
// that is running and what went wrong.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool ended_early;
};

JpegErrors& errors_of(j_common_ptr info) {
    return *reinterpret_cast<JpegErrors*>(info->err);
}

[[noreturn]] void stop_reading(j_common_ptr info) {
    JpegErrors& errors = errors_of(info);
    errors.manager.format_message(info, errors.message);
    std::longjmp(errors.jump, 1);
}

// Warnings are passed over, but the one for data that ends before the last
// row: libjpeg would make up the rest.
void note_warning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        errors_of(info).ended_early = true;
    }
}

void limit_scans(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMostScans) {
        JpegErrors& errors = errors_of(info);
        std::snprintf(errors.message, sizeof errors.message, "it has more than %d scans",
                      kMostScans);
        std::longjmp(errors.jump, 1);
    }
}

std::uint8_t cmyk_grey(const JSAMPLE* cmyk, bool inverted) {
    unsigned channel[4];
    for (int i = 0; i < 4; ++i) {
        channel[i] = inverted ? cmyk[i] : 255u - cmyk[i];
    }
    const unsigned black = channel[3];
    return luminance(channel[0] * black / 255, channel[1] * black / 255, channel[2] * black / 255);
}

// A JPEG file in memory. libjpeg reports a failure by longjmp to the one
// call of this class that was running; nothing of ours with a destructor
// lives in between.
class JpegReader {
  public:
    explicit JpegReader(Bytes file) : file_(file) {
        info_.err = jpeg_std_error(&errors_.manager);
        errors_.manager.error_exit = stop_reading;
        errors_.manager.emit_message = note_warning;
        progress_.progress_monitor = limit_scans;
    }
    ~JpegReader() { jpeg_destroy_decompress(&info_); }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // The markers up to the first scan, and the colour space the rows are
    // asked for in: false, with message(), when the file breaks its
    // format's rules.
    bool read_header() {
        if (setjmp(errors_.jump)) {
            return false;
        }
        jpeg_create_decompress(&info_);
        info_.progress = &progress_;
        jpeg_mem_src(&info_, file_.data(), static_cast<unsigned long>(file_.size()));
        jpeg_read_header(&info_, TRUE);
        info_.out_color_space = output_space(info_.jpeg_color_space);
        return true;
    }

    std::uint32_t width() const { return info_.image_width; }
    std::uint32_t height() const { return info_.image_height; }
    // Grey, colour or CMYK: a kind the reader turns into grey.
    bool supported() const { return info_.out_color_space != JCS_UNKNOWN; }

    // The rows as luminance into `image`, sized by start_image. False, with
    // message(), when the data breaks the format's rules, and with
    // ended_early() when it ends before the last row.
    bool read_rows(GreyImage& image) {
        std::vector<JSAMPLE> row(std::size_t{width()} * 4);
        if (setjmp(errors_.jump)) {
            return false;
        }
        jpeg_start_decompress(&info_);
        while (info_.output_scanline < info_.output_height && !errors_.ended_early) {
            JSAMPROW rows[1] = {row.data()};
            std::uint8_t* out = image.pixels.data() + std::size_t{info_.output_scanline} * width();
            jpeg_read_scanlines(&info_, rows, 1);
            grey_row(row.data(), out);
        }
        return !errors_.ended_early;
    }

    bool ended_early() const { return errors_.ended_early; }
    const char* message() const { return errors_.message; }

  private:
    static J_COLOR_SPACE output_space(J_COLOR_SPACE space) {
        switch (space) {
            case JCS_GRAYSCALE:
                return JCS_GRAYSCALE;
            case JCS_YCbCr:
            case JCS_RGB:
                return JCS_RGB;
            case JCS_CMYK:
            case JCS_YCCK:
                return JCS_CMYK;
            default:
                return JCS_UNKNOWN;
        }
    }

    // Photoshop, which writes the Adobe marker, stores CMYK inverted.
    void grey_row(const JSAMPLE* row, std::uint8_t* out) const {
        for (std::uint32_t x = 0; x < width(); ++x) {
            switch (info_.out_color_space) {
                case JCS_GRAYSCALE:
                    out[x] = row[x];
                    break;
                case JCS_RGB:
                    out[x] = luminance(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
                    break;
                default:
                    out[x] = cmyk_grey(row + 4 * x, info_.saw_Adobe_marker);
            }
        }
    }

    Bytes file_;
    jpeg_decompress_struct info_{};
    JpegErrors errors_{};
    jpeg_progress_mgr progress_{};
};

void damaged(DecodedImage& decoded, const JpegReader& jpeg) {
    decoded.status = jpeg.ended_early() ? DecodeStatus::EndsEarly : DecodeStatus::Damaged;
    decoded.detail = jpeg.message();
}

}  // namespace

DecodedImage decode_jpeg(Bytes file, const ImageBounds& bounds) {
    DecodedImage decoded;
    decoded.format = ImageFormat::Jpeg;
    JpegReader jpeg(file);
    if (!jpeg.read_header()) {
        damaged(decoded, jpeg);
        return decoded;
    }
    if (!jpeg.supported()) {
        decoded.image.width = jpeg.width();
        decoded.image.height = jpeg.height();
        decoded.status = DecodeStatus::Unsupported;
        return decoded;
    }
    // Refused by the size the header declares before any scan is decoded.
    if (start_image(decoded, jpeg.width(), jpeg.height(), bounds) &&
        !jpeg.read_rows(decoded.image)) {
        damaged(decoded, jpeg);
    }
    return decoded;
}

}  // namespace varkit
