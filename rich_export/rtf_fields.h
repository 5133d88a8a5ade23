// Pieces the parts of the document writer share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace varkit {

// A type code no entry of the table carries: the file ends before its first
// whole entry.
inline constexpr std::uint8_t kUnreadableType = 0xFF;

// In calculator text: 0x0E puts the next byte into the document unchanged,
// 0x7F begins a markup command.
inline constexpr int kLiteralEscape = 0x0E;
inline constexpr int kMarkupCommand = 0x7F;

// In place of the byte after a control word: the writer's own RTF follows.
inline constexpr int kWriterText = -1;

// RTF control words have at most 32 letters.
inline constexpr std::size_t kLongestControlWord = 32;

inline bool is_control_word_letter(int byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// From a data offset: 4 reserved bytes and the data length come before the
// first data byte. A TEXT's first line-start byte follows its 2-byte cursor
// position, a STR's first character its leading zero.
inline constexpr long kFirstDataByte = 6;
inline constexpr long kFirstCharacter = 7;

// The text of a zero-padded header field: up to its first zero, at most its
// width.
template <std::size_t N>
std::string field_text(const std::array<char, N>& field) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') {
        ++length;
    }
    return std::string(field.data(), length);
}

}  // namespace varkit
