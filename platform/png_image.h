// libpng for the suite, one place for every PNG it writes or reads: a
// simplified-interface image that frees itself, for writing, and a reader of
// PNG files in memory that keeps the suite's limits.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace varkit {

// A libpng simplified-interface image that frees itself. No longjmp crosses
// our code: libpng's failures come back as a zero result.
class PngImage {
  public:
    PngImage() {
        std::memset(&image_, 0, sizeof image_);
        image_.version = PNG_IMAGE_VERSION;
    }
    ~PngImage() { png_image_free(&image_); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    png_image* operator->() { return &image_; }
    png_image* get() { return &image_; }

  private:
    png_image image_;
};

// A PNG file in memory, read through libpng's own (progressive) interface
// with the limits that keep a small hostile file cheap: libpng's user limits
// on the width, the height, the chunk cache and the size of a chunk; every
// ancillary chunk but tRNS (text above all, which may be compressed many
// thousand times) is passed over without being decompressed; and
// decompression ends with the last row, so image data after it costs no more
// than its checksum. Gamma and colour profiles are not applied.
//
// libpng reports a failure by longjmp to the one call of this class that
// was running; nothing of ours with a destructor lives in between.
class PngReader {
  public:
    // How read_image gives each pixel.
    enum class Pixels {
        Rgba,          // four bytes: red, green, blue, alpha, 8 bits each
        PaletteIndex,  // one byte, the palette entry (palette images only)
    };

    explicit PngReader(std::span<const std::uint8_t> file);
    ~PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // Reads the signature and the chunks before the image data. False, with
    // message(), when the file is no PNG image or breaks its format's rules
    // or the limits.
    bool read_header();

    // What the header declares, after read_header.
    std::uint32_t width() const { return header_.width; }
    std::uint32_t height() const { return header_.height; }
    int bit_depth() const { return header_.bit_depth; }
    int colour_type() const { return header_.colour_type; }  // PNG_COLOR_TYPE_...
    // An alpha channel or a tRNS chunk.
    bool has_transparency() const { return header_.transparency; }
    // A palette image's palette, four bytes an entry: red, green, blue and
    // the alpha its tRNS chunk gives (255 where it gives none).
    std::vector<std::uint8_t> palette_rgba() const;

    // The whole image, rows top first, read from the file's start again. False,
    // with message(), when the data breaks the format's rules or ends before
    // the last row.
    bool read_image(Pixels pixels, std::vector<std::uint8_t>& image);

    // libpng's words for the last failure.
    const std::string& message() const { return message_; }

  private:
    bool start();
    void finish();
    void read_file();
    static void have_header(png_structp png, png_infop info);
    static void have_row(png_structp png, png_bytep row, png_uint_32 number, int pass);
    static void have_end(png_structp png, png_infop info);
    [[noreturn]] static void stop_reading(png_structp png, png_const_charp message);
    void set_transformations();

    struct Header {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        int bit_depth = 0;
        int colour_type = 0;
        bool transparency = false;
    };

    std::span<const std::uint8_t> file_;
    Header header_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    // What a run of libpng over the file is for: the header alone, or the
    // image as `pixels_` asks.
    bool header_only_ = true;
    Pixels pixels_ = Pixels::Rgba;
    std::vector<png_bytep> rows_;
    bool ended_ = false;
    std::string message_;
};

}  // namespace varkit
