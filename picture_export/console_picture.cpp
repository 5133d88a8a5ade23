#include "picture_export/console_picture.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "varfile/host.h"

namespace varkit {
namespace {

// The characters of code page 437 from 0x80 to 0xFF; below 0x80 it is ASCII.
constexpr char32_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

}  // namespace

std::string cp437_glyph(unsigned char character, bool utf8) {
    if (!utf8 || character < 0x80) {
        return std::string(1, static_cast<char>(character));
    }
    std::string glyph;
    append_utf8(glyph, kCp437High[character - 0x80]);
    return glyph;
}

std::string glyph_from_switch(const char* text, bool utf8) {
    if (text[0] == '\0') {
        return std::string(1, '\0');
    }
    // The first character, whatever the C library's locale (the arguments
    // are UTF-8 on Windows).
    for (std::size_t length = 1; utf8 && length <= 4 && length <= std::strlen(text); ++length) {
        std::optional<std::u32string> characters = utf32_from_utf8(std::string_view(text, length));
        if (characters && characters->size() == 1) {
            return std::string(text, length);
        }
    }
    return cp437_glyph(static_cast<unsigned char>(text[0]), utf8);
}

// A row at a time, so that a console's wide interface gets whole lines.
void draw_picture(const CalculatorPicture& picture, const ConsoleStyle& style, std::FILE* out) {
    const std::size_t row_bytes = picture_row_bytes(picture.size.columns);
    for (std::size_t r = 0; r < picture.size.rows; ++r) {
        std::string line = "\n";
        for (long c = 0; c < picture.size.columns && c <= style.column_limit; ++c) {
            if (c == style.column_limit) {
                line += '>';
                break;
            }
            line += picture_pixel_on(picture.rows, row_bytes, r, c) ? style.on : style.off;
        }
        write_console_text(out, line);
    }
}

}  // namespace varkit
