#include "picture_import/ti83plus_picture.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace varkit {
namespace {

// The file: signature and its three fixed bytes, a 42-byte comment, the
// length of the variable's section; then the section: the entry header
// length (13), the data length, type, 8-byte name, version and flag, the
// data length once more, the data; then the checksum of the section. A
// picture's data is its byte count and the rows, so the rows begin at 74.
constexpr char kSignature[] = "**TI83F*\x1A\x0A";
constexpr std::size_t kTi83CommentOffset = 11;
constexpr std::size_t kTi83CommentWidth = 42;
constexpr std::size_t kSectionOffset = 55;
constexpr std::uint16_t kEntryHeaderLength = 13;
constexpr std::uint8_t kPictureType = 0x07;
constexpr std::uint8_t kPictureToken = 0x60;
constexpr std::uint8_t kArchivedFlag = 0x80;

void put_le16(std::vector<std::uint8_t>& file, std::uint16_t value) {
    std::uint8_t word[2];
    write_le16(word, value);
    file.insert(file.end(), word, word + 2);
}

}  // namespace

std::optional<std::uint8_t> picture_variable_number(std::string_view name) {
    if (name.size() != 4 || std::tolower(static_cast<unsigned char>(name[0])) != 'p' ||
        std::tolower(static_cast<unsigned char>(name[1])) != 'i' ||
        std::tolower(static_cast<unsigned char>(name[2])) != 'c' ||
        !std::isdigit(static_cast<unsigned char>(name[3]))) {
        return std::nullopt;
    }
    const int digit = name[3] - '0';
    return static_cast<std::uint8_t>(digit == 0 ? 9 : digit - 1);
}

std::vector<std::uint8_t> ti83plus_picture_file(const VarHeader& names, std::uint8_t number,
                                                const std::vector<std::uint8_t>& rows) {
    const auto data_length = static_cast<std::uint16_t>(2 + rows.size());
    std::vector<std::uint8_t> file(kSignature, kSignature + sizeof kSignature);  // with its zero
    file.resize(kTi83CommentOffset + kTi83CommentWidth, 0);
    std::copy(names.comment.begin(), names.comment.end(), file.begin() + kTi83CommentOffset);
    put_le16(file, static_cast<std::uint16_t>(2 + kEntryHeaderLength + 2 + data_length));

    put_le16(file, kEntryHeaderLength);
    put_le16(file, data_length);
    file.push_back(kPictureType);
    file.insert(file.end(), {kPictureToken, number, 0, 0, 0, 0, 0, 0});
    file.push_back(0);  // version
    file.push_back(names.attribute == kAttributeArchived ? kArchivedFlag : 0);
    put_le16(file, data_length);
    put_le16(file, static_cast<std::uint16_t>(rows.size()));
    file.insert(file.end(), rows.begin(), rows.end());

    unsigned sum = 0;
    for (std::size_t i = kSectionOffset; i < file.size(); ++i) {
        sum += file[i];
    }
    put_le16(file, static_cast<std::uint16_t>(sum));
    return file;
}

}  // namespace varkit
