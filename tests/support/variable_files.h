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

// One variable of a TI-82 to TI-86 file: its type, the bytes that name it
// (8 zero-padded bytes on the TI-82/83, a length byte and the name on the
// TI-85/86) and its data.
struct OlderEntry {
    std::uint8_t type_code = 0;
    std::vector<std::uint8_t> name_field;
    std::vector<std::uint8_t> data;
};

// A whole TI-82 to TI-86 file: the 55-byte header, the entries one after
// another (entry-header length, data length, type, name, data length again,
// data) and the data section's byte sum.
std::vector<std::uint8_t> make_older_file(const std::string& signature,
                                          const std::vector<OlderEntry>& entries);

// The checksum a sound file carries: the sum of the two length bytes and the
// data, modulo 65536.
std::uint16_t expected_checksum(const std::vector<std::uint8_t>& data);

}  // namespace varkit::testing
