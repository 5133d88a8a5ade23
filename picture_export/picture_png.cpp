// PNG files of pictures through libpng.
#include <png.h>

#include <csetjmp>

#include "picture_export/picture_images.h"

namespace varkit {
namespace {

void append_to_vector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

[[noreturn]] void stop_writing(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void no_warning(png_structp, png_const_charp) {}

// libpng reports a failure by longjmp back here; nothing between owns
// anything that would need its destructor run.
bool write_grey_png(std::uint32_t width, std::uint32_t height, png_bytepp rows,
                    std::vector<std::uint8_t>* out) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stop_writing, no_warning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, append_to_vector, no_flush);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> png_of_picture(const CalculatorPicture& picture) {
    // In a 1-bit greyscale PNG 0 is black: a pixel that is on.
    std::vector<std::uint8_t> rows = clean_rows(picture, true);
    const std::size_t row_bytes = picture_row_bytes(picture.size.columns);
    std::vector<png_bytep> row_pointers;
    for (std::size_t r = 0; r < picture.size.rows; ++r) {
        row_pointers.push_back(rows.data() + r * row_bytes);
    }
    std::vector<std::uint8_t> png;
    if (!write_grey_png(picture.size.columns, picture.size.rows, row_pointers.data(), &png)) {
        return std::nullopt;
    }
    return png;
}

}  // namespace varkit
