#include "platform/png_image.h"

#include <csetjmp>

#include "platform/image_limits.h"

namespace varkit {
namespace {

// Ancillary chunks are passed over, never kept: these only bound what
// libpng would set aside for them all the same.
constexpr png_uint_32 kChunkCacheLimit = 32;
constexpr png_alloc_size_t kChunkSizeLimit = png_alloc_size_t{1} << 20;

// What a longjmp back to a call of PngReader means.
constexpr int kFailed = 1;
constexpr int kHeaderRead = 2;

void ignore_warning(png_structp, png_const_charp) {}

}  // namespace

PngReader::PngReader(std::span<const std::uint8_t> file) : file_(file) {}

PngReader::~PngReader() {
    finish();
}

// A fresh libpng reader with the limits. Each run over the file has its own:
// libpng sets up its rows once it has read the header.
bool PngReader::start() {
    finish();
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, stop_reading, ignore_warning);
    if (png_ != nullptr) {
        info_ = png_create_info_struct(png_);
    }
    if (png_ == nullptr || info_ == nullptr) {
        message_ = "out of memory";
        return false;
    }
    return true;
}

void PngReader::finish() {
    png_destroy_read_struct(&png_, &info_, nullptr);
}

// Runs libpng over the whole file, in the one function that sets the jump
// buffer: callers only look at what it left.
void PngReader::read_file() {
    png_set_progressive_read_fn(png_, this, have_header, have_row, have_end);
    png_set_user_limits(png_, kLargestImageSide, kLargestImageSide);
    png_set_chunk_cache_max(png_, kChunkCacheLimit);
    png_set_chunk_malloc_max(png_, kChunkSizeLimit);
    // Every ancillary chunk libpng knows, but tRNS, and every one it does not.
    png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_benign_errors(png_, 1);
    // libpng reads the bytes and never changes them.
    png_process_data(png_, info_, const_cast<png_bytep>(file_.data()), file_.size());
}

void PngReader::stop_reading(png_structp png, png_const_charp message) {
    static_cast<PngReader*>(png_get_error_ptr(png))->message_ = message;
    png_longjmp(png, kFailed);
}

void PngReader::have_header(png_structp png, png_infop info) {
    auto* reader = static_cast<PngReader*>(png_get_progressive_ptr(png));
    if (reader->header_only_) {
        Header& header = reader->header_;
        header.width = png_get_image_width(png, info);
        header.height = png_get_image_height(png, info);
        header.bit_depth = png_get_bit_depth(png, info);
        header.colour_type = png_get_color_type(png, info);
        header.transparency = (header.colour_type & PNG_COLOR_MASK_ALPHA) != 0 ||
                              png_get_valid(png, info, PNG_INFO_tRNS) != 0;
        png_longjmp(png, kHeaderRead);
    }
    reader->set_transformations();
    png_read_update_info(png, info);
    const std::size_t step = reader->pixels_ == Pixels::Rgba ? 4 : 1;
    if (png_get_rowbytes(png, info) != std::size_t{reader->header_.width} * step) {
        png_error(png, "rows of an unexpected size");
    }
}

// An interlaced image's rows come once a pass, each to be combined with what
// the passes before gave.
void PngReader::have_row(png_structp png, png_bytep row, png_uint_32 number, int) {
    auto* reader = static_cast<PngReader*>(png_get_progressive_ptr(png));
    if (row != nullptr && number < reader->rows_.size()) {
        png_progressive_combine_row(png, reader->rows_[number], row);
    }
}

void PngReader::have_end(png_structp png, png_infop) {
    static_cast<PngReader*>(png_get_progressive_ptr(png))->ended_ = true;
}

bool PngReader::read_header() {
    if (!start()) {
        return false;
    }
    header_only_ = true;
    switch (setjmp(png_jmpbuf(png_))) {
        case 0:
            break;
        case kHeaderRead:
            return true;
        default:
            return false;
    }
    read_file();
    message_ = "the file ends before its image data";
    return false;
}

std::vector<std::uint8_t> PngReader::palette_rgba() const {
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png_, info_, &colours, &count);
    png_bytep alphas = nullptr;
    int alpha_count = 0;
    png_get_tRNS(png_, info_, &alphas, &alpha_count, nullptr);
    std::vector<std::uint8_t> palette;
    for (int i = 0; i < count; ++i) {
        palette.insert(palette.end(), {colours[i].red, colours[i].green, colours[i].blue,
                                       i < alpha_count ? alphas[i] : std::uint8_t{255}});
    }
    return palette;
}

void PngReader::set_transformations() {
    if (pixels_ == Pixels::PaletteIndex) {
        png_set_packing(png_);
    } else {
        // Palette entries, grey below 8 bits and tRNS become 8-bit RGBA.
        png_set_expand(png_);
        png_set_scale_16(png_);
        png_set_gray_to_rgb(png_);
        png_set_add_alpha(png_, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png_);
}

bool PngReader::read_image(Pixels pixels, std::vector<std::uint8_t>& image) {
    const std::size_t row_bytes = std::size_t{header_.width} * (pixels == Pixels::Rgba ? 4 : 1);
    image.assign(row_bytes * header_.height, 0);
    rows_.clear();
    for (std::size_t y = 0; y < header_.height; ++y) {
        rows_.push_back(image.data() + y * row_bytes);
    }
    if (!start()) {
        return false;
    }
    header_only_ = false;
    pixels_ = pixels;
    ended_ = false;
    if (setjmp(png_jmpbuf(png_))) {
        return false;
    }
    read_file();
    if (!ended_) {
        message_ = "the file ends early";
        return false;
    }
    return true;
}

}  // namespace varkit
