#include "tests/support/variable_files.h"

#include <algorithm>

namespace varkit::testing {
namespace {

void put_text(std::vector<std::uint8_t>& file, std::size_t offset, const std::string& text,
              std::size_t width) {
    std::copy_n(text.begin(), std::min(text.size(), width), file.begin() + offset);
}

void put_le(std::vector<std::uint8_t>& file, std::size_t offset, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        file[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::uint16_t expected_checksum(const std::vector<std::uint8_t>& data) {
    std::uint32_t sum = (data.size() >> 8 & 0xFF) + (data.size() & 0xFF);
    for (std::uint8_t byte : data) {
        sum += byte;
    }
    return static_cast<std::uint16_t>(sum);
}

std::vector<std::uint8_t> make_variable_file(const VariableFileSpec& spec) {
    std::vector<std::uint8_t> file(88, 0);
    put_text(file, 0, spec.signature, 8);
    put_le(file, 8, 1, 2);
    put_text(file, 10, spec.folder, 8);
    put_text(file, 18, spec.comment, 40);
    put_le(file, 58, 1, 2);
    put_le(file, 60, 82, 4);
    put_text(file, 64, spec.name, 8);
    file[72] = spec.type_code;
    file[73] = spec.attribute;
    put_le(file, 76, static_cast<std::uint32_t>(spec.data.size() + 90), 4);
    file[80] = 0xA5;
    file[81] = 0x5A;
    file[86] = static_cast<std::uint8_t>(spec.data.size() >> 8);
    file[87] = static_cast<std::uint8_t>(spec.data.size());
    file.insert(file.end(), spec.data.begin(), spec.data.end());
    std::uint16_t checksum = expected_checksum(spec.data);
    file.push_back(static_cast<std::uint8_t>(checksum));
    file.push_back(static_cast<std::uint8_t>(checksum >> 8));
    return file;
}

std::vector<std::uint8_t> make_older_file(const std::string& signature,
                                          const std::vector<OlderEntry>& entries) {
    std::vector<std::uint8_t> file(55, 0);
    put_text(file, 0, signature + "\x1A\x0A", 10);
    put_text(file, 11, "made by the tests", 42);
    for (const OlderEntry& entry : entries) {
        std::vector<std::uint8_t> head(5, 0);
        put_le(head, 0, static_cast<std::uint32_t>(3 + entry.name_field.size()), 2);
        put_le(head, 2, static_cast<std::uint32_t>(entry.data.size()), 2);
        head[4] = entry.type_code;
        head.insert(head.end(), entry.name_field.begin(), entry.name_field.end());
        head.insert(head.end(), {static_cast<std::uint8_t>(entry.data.size()),
                                 static_cast<std::uint8_t>(entry.data.size() >> 8)});
        file.insert(file.end(), head.begin(), head.end());
        file.insert(file.end(), entry.data.begin(), entry.data.end());
    }
    put_le(file, 53, static_cast<std::uint32_t>(file.size() - 55), 2);
    std::uint32_t sum = 0;
    for (std::size_t i = 55; i < file.size(); ++i) {
        sum += file[i];
    }
    file.insert(file.end(), {static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8)});
    return file;
}

}  // namespace varkit::testing
