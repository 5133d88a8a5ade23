// Pictures in the document: a lab report's picture becomes a monochrome
// device bitmap, passes through the clipboard, comes back in its
// device-independent form by way of the clipboard-to-BMP writer (as this
// picture's own, whatever another program put on the clipboard meanwhile),
// and is copied into the document as hexadecimal DIB data. A run that leaves
// the clipboard alone makes the same DIB without it.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "picture_export/clip_dib.h"
#include "platform/dib.h"
#include "rich_export/rtf_writer.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

// The information header and the two-entry colour table of a monochrome DIB
// go on the picture group's first line, the pixel rows after them.
constexpr std::size_t kHeaderAndColoursSize = 48;
constexpr std::size_t kHexBytesPerLine = 32;
constexpr char kLowerHex[] = "0123456789abcdef";

// The picture's rows as the bits of a monochrome device bitmap, or nothing
// when the file ends before its last row.
std::optional<DeviceBitmap> read_picture_bitmap(std::FILE* in) {
    Dimensions size;
    long first_row = 0;
    if (vf_read_word_pair(&size, in) != 1 || (first_row = vf_tell(in)) < 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> rows;
    if (vf_read_picture_rows(first_row, size, rows, in) != 1) {
        return std::nullopt;
    }
    return device_bitmap_of(vf_picture_bitmap_bits(size, rows));
}

// What is left of a small file, read a block at a time.
std::vector<std::uint8_t> read_rest(std::FILE* file) {
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 4096> block;
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0;) {
        bytes.insert(bytes.end(), block.begin(), block.begin() + got);
    }
    return bytes;
}

// The hexadecimal DIB: information header and colour table on one line, then
// the rows 32 bytes a line.
void write_hex_data(const std::vector<std::uint8_t>& dib, std::FILE* out) {
    std::string hex;
    hex.reserve(2 * dib.size() + dib.size() / kHexBytesPerLine + 2);
    for (std::size_t count = 1; count <= dib.size(); ++count) {
        hex += kLowerHex[dib[count - 1] >> 4];
        hex += kLowerHex[dib[count - 1] & 0xF];
        if (count == kHeaderAndColoursSize ||
            (count > kHeaderAndColoursSize &&
             (count - kHeaderAndColoursSize) % kHexBytesPerLine == 0)) {
            hex += '\n';
        }
    }
    // A block that ends within the headers still ends their line.
    if (dib.size() < kHeaderAndColoursSize) {
        hex += '\n';
    }
    std::fwrite(hex.data(), 1, hex.size(), out);
}

}  // namespace

// Places the bitmap on the emptied clipboard. Only a clipboard that cannot
// be opened stops the picture; otherwise the read-back finds whatever the
// clipboard holds.
bool RtfWriter::place_on_clipboard(const DeviceBitmap& bitmap) {
    Platform& platform = rt_.platform;
    if (!platform.clipboard_open()) {
        report("Error: Unable to open clipboard.\n");
        return false;
    }
    if (!platform.clipboard_empty()) {
        report("Error: Unable to empty clipboard.\n");
    } else if (!platform.clipboard_set_bitmap(bitmap)) {
        report("Error: Unable to set clipboard data.\n");
    }
    platform.clipboard_close();
    return true;
}

// The bitmap's DIB as the clipboard gives it back, by way of the
// clipboard-to-BMP writer and a BMP file of this picture alone: uniquely named
// in the temporary folder and removed when this function ends.
std::optional<std::vector<std::uint8_t>> RtfWriter::dib_through_clipboard(
    const DeviceBitmap& bitmap) {
    if (!place_on_clipboard(bitmap)) {
        return std::nullopt;
    }
    ScratchFile bmp_file(".bmp");
    if (!bmp_file.created()) {
        report("Error: Can't create a temporary file.\n");
        run_ended_ = true;
        return std::nullopt;
    }
    ClipDibResult saved =
        clip_dib_to_file(bmp_file.path(), ClipDibCreateFailure::EndsRun, bitmap, rt_);
    if (saved != ClipDibResult::Saved) {
        failure_reported_ = true;  // the writer has said why
        run_ended_ = saved == ClipDibResult::EndRun;
        return std::nullopt;
    }
    FilePtr bmp = open_existing_file(bmp_file.path().c_str(), false);
    std::vector<std::uint8_t> file;
    if (bmp) {
        file = read_rest(bmp.get());
    }
    if (!bmp || std::ferror(bmp.get()) || file.size() < kBmpFileHeaderSize) {
        report("Error: Unable to read a temporary file.\n");
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(file.begin() + kBmpFileHeaderSize, file.end());
}

int RtfWriter::rtf_embed_picture(std::FILE* in, std::FILE* out) {
    std::optional<DeviceBitmap> description = read_picture_bitmap(in);
    if (!description) {
        report("Error: File ends before the picture's last row.\n");
        return 0;
    }
    std::optional<DeviceBitmap> bitmap = rt_.platform.create_bitmap(*description);
    if (!bitmap) {
        report("Error: Unable to create bitmap.\n");
        return 0;
    }
    std::optional<std::vector<std::uint8_t>> dib =
        settings_.no_clipboard ? synthesize_dib(*bitmap) : dib_through_clipboard(*bitmap);
    if (!dib) {
        return 0;
    }
    section_pending_ = true;
    std::fprintf(out,
                 "\n\\sect\\sbknone%s{\\posxc\\pict\\dibitmap%d\\wbmbitspixel%d\\wbmplanes%d"
                 "\\wbmwidthbytes%d\\picw%d\\pich%d\\picscalex100\\picscaley100\n",
                 settings_.keep_colons ? "\\~\\~" : "", bitmap->type, bitmap->bits_per_pixel,
                 bitmap->planes, bitmap->row_length, bitmap->width, bitmap->height);
    write_hex_data(*dib, out);
    std::fputc('}', out);
    return 1;
}

}  // namespace varkit
