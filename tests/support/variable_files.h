// Builds variable files byte by byte for tests, independently of the library
// under test: header fields, data, and the checksum over length and data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varkit::testing {

struct VariableFileSpec {
    std::string signature = "**TI89**";
    std::string folder = "main";
    std::string comment = "";
    std::string name = "var";
    std::uint8_t type_code = 11;
    std::uint8_t attribute = 0;
    std::vector<std::uint8_t> data;
};

// A whole single-variable file: 88-byte header, the data, the checksum.
std::vector<std::uint8_t> make_variable_file(const VariableFileSpec& spec);

// The checksum a sound file carries: the sum of the two length bytes and the
// data, modulo 65536.
std::uint16_t expected_checksum(const std::vector<std::uint8_t>& data);

}  // namespace varkit::testing
