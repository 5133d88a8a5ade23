// Pictures in the document: a lab report's picture becomes a monochrome
// device bitmap, passes through the clipboard, comes back in its
// device-independent form by way of the clipboard-to-BMP writer (as this
// picture's own, whatever another program put on the clipboard meanwhile),
// and is copied into the document as hexadecimal DIB data.
#include <array>
#include <optional>

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

// The hexadecimal DIB: information header and colour table on one line, then
// the rest of the file 32 bytes a line. The file is read and the text written
// a block at a time.
void write_hex_data(std::FILE* bmp, std::FILE* out) {
    constexpr std::size_t kBlock = 4096;
    std::array<std::uint8_t, kBlock> block;
    // Two digits a byte and at most one line end for every 32 bytes, plus
    // the line end of the headers.
    std::array<char, 2 * kBlock + kBlock / kHexBytesPerLine + 2> hex;
    std::size_t count = 0;  // bytes of the file written so far
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), bmp)) > 0;) {
        char* next = hex.data();
        for (std::size_t i = 0; i < got; ++i) {
            *next++ = kLowerHex[block[i] >> 4];
            *next++ = kLowerHex[block[i] & 0xF];
            ++count;
            if (count == kHeaderAndColoursSize ||
                (count > kHeaderAndColoursSize &&
                 (count - kHeaderAndColoursSize) % kHexBytesPerLine == 0)) {
                *next++ = '\n';
            }
        }
        std::fwrite(hex.data(), 1, static_cast<std::size_t>(next - hex.data()), out);
    }
    // A file that ends within the headers still ends their line.
    if (count < kHeaderAndColoursSize) {
        std::fputc('\n', out);
    }
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
    if (!place_on_clipboard(*bitmap)) {
        return 0;
    }

    // The BMP file is an intermediate of this picture alone: uniquely named
    // in the temporary folder and removed when this function ends.
    ScratchFile bmp_file(".bmp");
    if (!bmp_file.created()) {
        report("Error: Can't create a temporary file.\n");
        run_ended_ = true;
        return 0;
    }
    ClipDibResult saved =
        clip_dib_to_file(bmp_file.path(), ClipDibCreateFailure::EndsRun, *bitmap, rt_);
    if (saved != ClipDibResult::Saved) {
        failure_reported_ = true;  // the writer has said why
        run_ended_ = saved == ClipDibResult::EndRun;
        return 0;
    }
    FilePtr bmp = open_existing_file(bmp_file.path().c_str(), false);
    std::uint8_t file_header[kBmpFileHeaderSize];
    if (!bmp || std::fread(file_header, sizeof file_header, 1, bmp.get()) != 1) {
        report("Error: Unable to read a temporary file.\n");
        return 0;
    }
    section_pending_ = true;
    std::fprintf(out,
                 "\n\\sect\\sbknone%s{\\posxc\\pict\\dibitmap%d\\wbmbitspixel%d\\wbmplanes%d"
                 "\\wbmwidthbytes%d\\picw%d\\pich%d\\picscalex100\\picscaley100\n",
                 settings_.keep_colons ? "\\~\\~" : "", bitmap->type, bitmap->bits_per_pixel,
                 bitmap->planes, bitmap->row_length, bitmap->width, bitmap->height);
    write_hex_data(bmp.get(), out);
    std::fputc('}', out);
    if (std::ferror(bmp.get())) {
        report("Error: Unable to read a temporary file.\n");
        return 0;
    }
    return 1;
}

}  // namespace varkit
