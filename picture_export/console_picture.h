// Drawing a picture on the console with one character for each pixel.
#pragma once

#include <cstdio>
#include <string>

#include "charset/charset.h"
#include "picture_export/calculator_picture.h"

namespace varkit {

// Code page 437's full block: the default character of a pixel that is on.
inline constexpr unsigned char kFullBlock = 0xDB;

// What the console gets for one code page 437 character: the byte itself, or
// in a UTF-8 console the character's UTF-8 form.
std::string cp437_glyph(unsigned char character, bool utf8);

// The character a /F or /B switch gives, from the text after its letter:
// nothing there is the NUL character; otherwise its first byte, or in a UTF-8
// console its first UTF-8 character (a byte that begins none is read as code
// page 437).
std::string glyph_from_switch(const char* text, bool utf8);

struct ConsoleStyle {
    std::string on;          // drawn for a pixel that is on
    std::string off;         // drawn for a pixel that is off
    long column_limit = 79;  // cells shown before a '>' marks a cut row
};

// Writes each row on a new line: its first column_limit cells, then '>' if
// the row is wider. The caller ends the last row.
void draw_picture(const CalculatorPicture& picture, const ConsoleStyle& style, std::FILE* out);

}  // namespace varkit
