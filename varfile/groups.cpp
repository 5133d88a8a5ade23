// The reader of files with several variables, and the single-variable files
// cut out of them.
#include "varfile/groups.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "varfile/byte_order.h"
#include "varfile/container.h"

namespace varkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

// ---- The older calculators' files -----------------------------------------
//
// A 55-byte header (signature, 3 bytes, 42-byte comment, LE length of the data
// section at 53), the data section from 55, then the section's LE byte sum.
// Each entry of the section: LE entry-header length h, LE data length, type
// code, name; at 2 + h past the entry's start the data length again and the
// data.

constexpr std::size_t kOlderHeaderSize = 55;
constexpr std::size_t kOlderSectionLengthOffset = 53;
constexpr std::size_t kOlderNameWidth = 8;
constexpr std::uint8_t kTi83PlusArchived = 0x80;  // the flag byte after the version

struct OlderType {
    std::uint8_t code;
    const char* name;
    char letter;  // of the file name extension
};

constexpr OlderType kTi82Types[] = {
    {0x00, "REAL", 'n'},   {0x01, "LIST", 'l'},  {0x02, "MATRIX", 'm'}, {0x03, "YVAR", 'y'},
    {0x05, "PROG", 'p'},   {0x06, "PPROG", 'p'}, {0x07, "PIC", 'i'},    {0x08, "GDB", 'd'},
    {0x0B, "WINDOW", 'w'}, {0x0C, "ZSTO", 'z'},  {0x0D, "TABLE", 't'},  {0x0F, "BACKUP", 'b'},
};

constexpr OlderType kTi83Types[] = {
    {0x00, "REAL", 'n'},   {0x01, "LIST", 'l'},  {0x02, "MATRIX", 'm'}, {0x03, "YVAR", 'y'},
    {0x04, "STRING", 's'}, {0x05, "PROG", 'p'},  {0x06, "PPROG", 'p'},  {0x07, "PIC", 'i'},
    {0x08, "GDB", 'd'},    {0x0C, "CPLX", 'c'},  {0x0D, "CLIST", 'l'},  {0x0F, "WINDOW", 'w'},
    {0x10, "ZSTO", 'z'},   {0x11, "TABLE", 't'}, {0x13, "BACKUP", 'b'}, {0x15, "APPVAR", 'v'},
    {0x17, "GROUP", 'g'},
};

constexpr OlderType kTi86Types[] = {
    {0x00, "REAL", 'n'},   {0x01, "CPLX", 'c'},   {0x02, "VECTOR", 'v'}, {0x03, "CVECT", 'v'},
    {0x04, "LIST", 'l'},   {0x05, "CLIST", 'l'},  {0x06, "MATRIX", 'm'}, {0x07, "CMATRX", 'm'},
    {0x08, "CONST", 'k'},  {0x09, "CCONST", 'k'}, {0x0A, "EQU", 'e'},    {0x0C, "STRING", 's'},
    {0x0D, "GDB", 'd'},    {0x0E, "GDB", 'd'},    {0x0F, "GDB", 'd'},    {0x10, "GDB", 'd'},
    {0x11, "PIC", 'i'},    {0x12, "PROG", 'p'},   {0x17, "WINDOW", 'w'}, {0x18, "WINDOW", 'w'},
    {0x19, "WINDOW", 'w'}, {0x1A, "WINDOW", 'w'}, {0x1D, "BACKUP", 'b'},
};

const OlderType* older_type(GroupFamily family, std::uint8_t code) {
    std::span<const OlderType> table = kTi86Types;
    if (family == GroupFamily::Ti82) {
        table = kTi82Types;
    } else if (family == GroupFamily::Ti83) {
        table = kTi83Types;
    }
    for (const OlderType& type : table) {
        if (type.code == code) {
            return &type;
        }
    }
    return nullptr;
}

// The TI-82 and TI-83 name their lists, matrices, pictures, graph databases,
// strings and functions with a token and an index byte rather than letters.
std::optional<std::string> token_name(std::uint8_t token, std::uint8_t index) {
    // Pic1 .. Pic9 and Pic0 as the keys number them; L1 .. L6.
    auto numbered = [&](const char* stem, unsigned count) -> std::optional<std::string> {
        if (index >= count) {
            return std::nullopt;
        }
        return stem + std::to_string(count == 10 ? (index + 1) % 10 : index + 1);
    };
    switch (token) {
        case 0x5B:
            return std::string("theta");
        case 0x5C:
            return index < 10 ? std::optional(std::string{'[', char('A' + index), ']'})
                              : std::nullopt;
        case 0x5D:
            return numbered("L", 6);
        case 0x60:
            return numbered("Pic", 10);
        case 0x61:
            return numbered("GDB", 10);
        case 0xAA:
            return numbered("Str", 10);
        case 0x5E:
            if (index >= 0x10 && index <= 0x19) {
                return "Y" + std::to_string((index - 0x10 + 1) % 10);
            }
            if (index >= 0x20 && index <= 0x2B) {
                std::string axis = index % 2 == 0 ? "X" : "Y";
                return axis + std::to_string((index - 0x20) / 2 + 1) + "T";
            }
            if (index >= 0x40 && index <= 0x45) {
                return "r" + std::to_string(index - 0x40 + 1);
            }
            if (index >= 0x80 && index <= 0x82) {
                return std::string(1, static_cast<char>('u' + (index - 0x80)));
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::string text_up_to_zero(const std::uint8_t* bytes, std::size_t width) {
    const std::size_t length = ::strnlen(reinterpret_cast<const char*>(bytes), width);
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

std::string older_name(GroupFamily family, Bytes name_bytes) {
    if (family != GroupFamily::Ti86) {
        if (std::optional<std::string> token = token_name(name_bytes[0], name_bytes[1])) {
            return *token;
        }
    }
    return text_up_to_zero(name_bytes.data(), name_bytes.size());
}

std::uint16_t byte_sum(Bytes bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint16_t>(sum);
}

// Where the entry names itself, and the shortest entry header that holds it.
struct OlderName {
    std::size_t offset;
    std::size_t width;
};

std::optional<OlderName> older_name_field(GroupFamily family, Bytes file, std::size_t entry,
                                          std::uint16_t header_length) {
    const std::size_t name_at = entry + 5;  // past h, the data length and the type
    if (family == GroupFamily::Ti86) {
        // The length byte, then that many bytes (often padded to 8 with spaces).
        if (header_length < 4 || 4u + file[name_at] > header_length) {
            return std::nullopt;
        }
        return OlderName{name_at + 1, file[name_at]};
    }
    if (header_length < 3 + kOlderNameWidth) {
        return std::nullopt;
    }
    return OlderName{name_at, kOlderNameWidth};
}

GroupReading damaged(std::string detail) {
    GroupReading reading;
    reading.status = GroupStatus::Damaged;
    reading.detail = std::move(detail);
    return reading;
}

std::string entry_text(std::size_t index) {
    return "entry " + std::to_string(index + 1);
}

GroupReading read_older(Bytes file, GroupFamily family, std::string extension) {
    if (file.size() < kOlderHeaderSize + 2) {
        return damaged("the file is too short for its header");
    }
    const std::size_t section_end = kOlderHeaderSize + read_le16(&file[kOlderSectionLengthOffset]);
    if (section_end + 2 > file.size()) {
        return damaged("its data section runs past the end of the file");
    }
    GroupReading reading;
    reading.group.family = family;
    reading.group.extension = std::move(extension);
    const std::uint16_t stored = read_le16(&file[section_end]);
    const std::uint16_t computed =
        byte_sum(file.subspan(kOlderHeaderSize, section_end - kOlderHeaderSize));
    // Each entry moves the walk on by at least its four length bytes.
    for (std::size_t at = kOlderHeaderSize, index = 0; at < section_end; ++index) {
        const std::string entry = entry_text(index);
        // The two lengths, the type and the name (or its length byte).
        if (at + 5 + (family == GroupFamily::Ti86 ? 1 : kOlderNameWidth) > section_end) {
            return damaged(entry + " is cut short");
        }
        const std::uint16_t header_length = read_le16(&file[at]);
        const std::uint16_t data_length = read_le16(&file[at + 2]);
        std::optional<OlderName> name = older_name_field(family, file, at, header_length);
        const std::size_t data = at + 2 + header_length + 2;
        if (!name || data > section_end) {
            return damaged(entry + " has a header that does not fit it");
        }
        if (read_le16(&file[data - 2]) != data_length) {
            return damaged(entry + " gives two different data lengths");
        }
        if (data + data_length > section_end) {
            return damaged(entry + " runs past the end of the data section");
        }
        GroupMember member;
        member.name = older_name(family, file.subspan(name->offset, name->width));
        member.type_code = file[at + 4];
        // Only the TI-83 Plus keeps an archived flag, after the name and version.
        if (family == GroupFamily::Ti83 && header_length >= 13 &&
            (file[at + 2 + 12] & kTi83PlusArchived) != 0) {
            member.attribute = kAttributeArchived;
        }
        member.entry = at;
        member.block = at;
        member.end = data + data_length;
        member.data_length = data_length;
        member.stored_checksum = stored;
        member.computed_checksum = computed;
        reading.group.members.push_back(member);
        at = member.end;
    }
    reading.status = GroupStatus::Read;
    return reading;
}

// ---- The TI-89, TI-92 and TI-92 Plus --------------------------------------
//
// The FileHeader, one EntryRecord per entry from 64, then the data blocks: the
// first at the header's data offset (60), each following one at the trailing
// value of the entry before it. A folder entry (type 31) has no data; the
// variables after it belong to it. Each block holds 4 reserved bytes, the BE
// data length, the data and the variable's LE checksum.

constexpr std::size_t kBlockOverhead = 8;  // reserved bytes, length, checksum

GroupReading read_68k(Bytes file, std::string extension) {
    if (file.size() < static_cast<std::size_t>(kNameOffset + kEntrySize)) {
        return damaged("the file is too short for its entry table");
    }
    const std::size_t count = read_le16(&file[kEntryCountOffset]);
    const std::size_t table_end = kNameOffset + kEntrySize * count;
    std::size_t start = read_le32(&file[60]);
    if (count == 0 || table_end > file.size()) {
        return damaged("its entry count (" + std::to_string(count) + ") does not fit the file");
    }
    if (start < table_end) {
        return damaged("its entry table of " + std::to_string(count) +
                       " entries overlaps the data");
    }
    GroupReading reading;
    reading.group.extension = std::move(extension);
    std::size_t folder_field = kFolderOffset;
    for (std::size_t index = 0; index < count; ++index) {
        const std::string entry_name = entry_text(index);
        const std::size_t entry = kNameOffset + kEntrySize * index;
        const std::size_t end = read_le32(&file[entry + 12]);
        if (end < start) {
            return damaged(entry_name + " ends before it begins");
        }
        if (end > file.size()) {
            return damaged(entry_name + " runs past the end of the file");
        }
        if (file[entry + 8] == kTypeFolder) {
            folder_field = entry;
            start = end;
            continue;
        }
        if (end - start < kBlockOverhead ||
            read_be16(&file[start + 4]) != end - start - kBlockOverhead) {
            return damaged(entry_name + " has a data length that does not fit its " +
                           std::to_string(end - start) + " bytes");
        }
        GroupMember member;
        member.folder = text_up_to_zero(&file[folder_field], kFolderWidth);
        member.name = text_up_to_zero(&file[entry], kNameWidth);
        member.type_code = file[entry + 8];
        member.attribute = file[entry + 9];
        member.entry = entry;
        member.folder_field = folder_field;
        member.block = start;
        member.end = end;
        member.data_length = read_be16(&file[start + 4]);
        member.stored_checksum = read_le16(&file[end - 2]);
        member.computed_checksum = byte_sum(file.subspan(start + 4, end - 2 - (start + 4)));
        reading.group.members.push_back(member);
        start = end;
    }
    reading.status = GroupStatus::Read;
    return reading;
}

// The calculator a file's signature names, as its extension prefix.
std::optional<std::pair<GroupFamily, std::string>> family_of(Bytes file) {
    char signature[9] = {};
    std::memcpy(signature, file.data(), std::min<std::size_t>(file.size(), 8));
    struct Known {
        const char* signature;
        GroupFamily family;
        const char* extension;
    };
    static constexpr Known kKnown[] = {
        {"**TI89**", GroupFamily::Ti68k, ".89"}, {"**TI92**", GroupFamily::Ti68k, ".92"},
        {"**TI92P*", GroupFamily::Ti68k, ".9x"}, {"**TI82**", GroupFamily::Ti82, ".82"},
        {"**TI83**", GroupFamily::Ti83, ".83"},  {"**TI83F*", GroupFamily::Ti83, ".8x"},
        {"**TI85**", GroupFamily::Ti86, ".85"},  {"**TI86**", GroupFamily::Ti86, ".86"},
    };
    for (const Known& known : kKnown) {
        if (std::strcmp(signature, known.signature) == 0) {
            return std::pair(known.family, std::string(known.extension));
        }
    }
    return std::nullopt;
}

bool same_letters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// TI-68k type codes and the letter their files end in.
char ti68k_letter(std::uint8_t type_code) {
    struct Letter {
        std::uint8_t code;
        char letter;
    };
    static constexpr Letter kLetters[] = {
        {0, 'e'},  {4, 'l'},  {6, 'm'},  {10, 'c'}, {11, 't'}, {12, 's'}, {13, 'd'},
        {14, 'a'}, {16, 'i'}, {18, 'p'}, {19, 'f'}, {20, 'x'}, {33, 'z'}, {kTypeLabReport, 'r'},
    };
    for (const Letter& letter : kLetters) {
        if (letter.code == type_code) {
            return letter.letter;
        }
    }
    return 'y';
}

}  // namespace

GroupReading read_group(std::span<const std::uint8_t> file) {
    std::optional<std::pair<GroupFamily, std::string>> family = family_of(file);
    if (!family) {
        return GroupReading{};
    }
    if (family->first == GroupFamily::Ti68k) {
        return read_68k(file, family->second);
    }
    return read_older(file, family->first, family->second);
}

std::string member_full_name(const GroupMember& member) {
    return member.folder.empty() ? member.name : member.folder + "\\" + member.name;
}

const char* member_type_name(const GroupFile& group, const GroupMember& member) {
    if (group.family == GroupFamily::Ti68k) {
        return vf_type_name(member.type_code);
    }
    const OlderType* type = older_type(group.family, member.type_code);
    return type ? type->name : "?";
}

std::string member_extension(const GroupFile& group, const GroupMember& member) {
    char letter = 'y';
    if (group.family == GroupFamily::Ti68k) {
        letter = ti68k_letter(member.type_code);
    } else if (const OlderType* type = older_type(group.family, member.type_code)) {
        letter = type->letter;
    }
    return group.extension + letter;
}

std::vector<const GroupMember*> find_members(const GroupFile& group, std::string_view name) {
    std::size_t separator = name.find_first_of("/\\");
    std::optional<std::string_view> folder;
    if (separator != std::string_view::npos) {
        folder = name.substr(0, separator);
        name = name.substr(separator + 1);
    }
    std::vector<const GroupMember*> found;
    for (const GroupMember& member : group.members) {
        if (same_letters(member.name, name) && (!folder || same_letters(member.folder, *folder))) {
            found.push_back(&member);
        }
    }
    return found;
}

const GroupMember* name_taken(const GroupFile& group, const GroupMember& member,
                              std::string_view new_name) {
    // Keeping its name takes nothing, even where a damaged group holds it twice.
    if (same_letters(member.name, new_name)) {
        return nullptr;
    }
    for (const GroupMember* other :
         find_members(group, member.folder + "\\" + std::string(new_name))) {
        if (other != &member) {
            return other;
        }
    }
    return nullptr;
}

ByteString member_file(std::span<const std::uint8_t> file, const GroupFile& group,
                       const GroupMember& member, MemberChecksum checksum) {
    ByteString single;
    Bytes summed;  // what the checksum covers
    if (group.family == GroupFamily::Ti68k) {
        // The data block after the 4 reserved bytes: the length and the data.
        summed = file.subspan(member.block + 4, member.end - 2 - (member.block + 4));
        VarHeader header = new_variable_header("", member.type_code, member.data_length);
        std::memcpy(header.signature.data(), &file[kSignatureOffset], header.signature.size());
        header.format_word = read_le16(&file[kFormatWordOffset]);
        std::memcpy(header.folder.data(), &file[member.folder_field], kFolderWidth);
        std::memcpy(header.comment.data(), &file[kCommentOffset], kCommentWidth);
        std::memcpy(header.name.data(), &file[member.entry], kNameWidth);
        header.attribute = member.attribute;
        std::memcpy(header.reserved_74.data(), &file[member.entry + 10], 2);
        std::memcpy(header.reserved_82.data(), &file[member.block], 4);
        const auto bytes = encoded_header(header);
        single.assign(bytes.begin(), bytes.end());
        single.insert(single.end(), summed.begin() + 2, summed.end());
    } else {
        summed = file.subspan(member.entry, member.end - member.entry);
        single.assign(file.begin(), file.begin() + kOlderHeaderSize);
        write_le16(&single[kOlderSectionLengthOffset], static_cast<std::uint16_t>(summed.size()));
        single.insert(single.end(), summed.begin(), summed.end());
    }
    const std::uint16_t sum =
        checksum == MemberChecksum::AsStored ? member.stored_checksum : byte_sum(summed);
    single.resize(single.size() + 2);
    write_le16(&single[single.size() - 2], sum);
    return single;
}

ByteString group_with_member(std::span<const std::uint8_t> file, const GroupFile& group,
                             const GroupMember& member, std::span<const std::uint8_t> changed,
                             std::string& refusal) {
    const ByteString before = member_file(file, group, member, MemberChecksum::AsStored);
    // Only the name, the attribute and what follows the header's first 82
    // bytes have a place of their own in the group.
    auto same_outside = [&](std::size_t from, std::size_t to) {
        return std::equal(before.begin() + from, before.begin() + to, changed.begin() + from);
    };
    if (group.family != GroupFamily::Ti68k || changed.size() != before.size() ||
        !same_outside(0, kNameOffset) || !same_outside(kTypeCodeOffset, kAttributeOffset) ||
        !same_outside(kAttributeOffset + 1, kSingleFileDataOffset)) {
        refusal = "only its name, attribute and checksum can change inside a group";
        return {};
    }
    const std::string new_name = text_up_to_zero(&changed[kNameOffset], kNameWidth);
    if (const GroupMember* other = name_taken(group, member, new_name)) {
        refusal = member_full_name(*other) + " is already in the group";
        return {};
    }
    ByteString result(file.begin(), file.end());
    std::memcpy(&result[member.entry], &changed[kNameOffset], kNameWidth);
    result[member.entry + 9] = changed[kAttributeOffset];
    std::copy(changed.begin() + kSingleFileDataOffset, changed.end(),
              result.begin() + member.block);
    return result;
}

}  // namespace varkit
