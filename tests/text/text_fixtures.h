// TEXT and STR variable files laid out byte by byte for the text tests,
// independently of the library's writer, so the tests check it rather than
// repeat it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tests/support/test_files.h"

namespace varkit::testing {

struct Identity {
    std::string name = "x";
    std::string folder = "main";
    std::string comment;
    std::uint8_t attribute = 0;
};

inline void put_field(Bytes& file, std::size_t offset, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        file[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
}

// Header, data and checksum of a single-variable file.
inline Bytes variable_file(std::string_view signature, std::uint8_t type, std::string_view data,
                           const Identity& id = {}) {
    Bytes file(88, 0);
    put_field(file, 0, signature);
    file[8] = 1;
    put_field(file, 10, id.folder);
    put_field(file, 18, id.comment);
    file[58] = 1;
    file[60] = 82;
    put_field(file, 64, id.name);
    file[72] = type;
    file[73] = id.attribute;
    std::size_t size = data.size() + 90;
    for (int i = 0; i < 4; ++i) {
        file[76 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    file[80] = 0xA5;
    file[81] = 0x5A;
    file[86] = static_cast<std::uint8_t>(data.size() >> 8);
    file[87] = static_cast<std::uint8_t>(data.size());
    unsigned sum = file[86] + file[87];
    for (char c : data) {
        file.push_back(static_cast<std::uint8_t>(c));
        sum += static_cast<std::uint8_t>(c);
    }
    file.push_back(static_cast<std::uint8_t>(sum));
    file.push_back(static_cast<std::uint8_t>(sum >> 8));
    return file;
}

// A TEXT's data around its text: cursor position 1, terminator, tag.
inline std::string text_data(std::string_view text) {
    return std::string("\x00\x01", 2) + std::string(text) + std::string("\x00\xE0", 2);
}

inline std::string string_data(std::string_view characters) {
    return std::string(1, '\0') + std::string(characters) + std::string("\x00\x2D", 2);
}

inline std::string as_string(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The data block of a variable file: the bytes between header and checksum.
inline std::string data_of(const Bytes& file) {
    return file.size() < 90 ? std::string() : std::string(file.begin() + 88, file.end() - 2);
}

}  // namespace varkit::testing
