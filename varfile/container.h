// The variable file container: header, entry table, data length, checksum.
//
// The vf_ operations work on an already opened binary stream. They never
// open, close, allocate, print or end the program: 0 means failure, anything
// else the record count or the value read. Those that position first seek
// from the start, so they may be called in any order; seeking never clears
// the stream's error indicator, so a failed read or write stays visible to
// the caller's final std::ferror check.
//
// Every seek and tell of the suite's streams goes through vf_seek,
// vf_seek_from and vf_tell. One that fails sets the stream's error indicator,
// as a failed read or write does: a run never reports success over bytes
// read from, or written to, a place the stream never reached.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace varkit {

// Offsets and sizes of a single-variable file: an 88-byte header, n data
// bytes, a 2-byte checksum, n + 90 bytes in all.
inline constexpr long kSignatureOffset = 0;
inline constexpr long kFormatWordOffset = 8;
inline constexpr long kFolderOffset = 10;
inline constexpr long kCommentOffset = 18;
inline constexpr long kEntryCountOffset = 58;
inline constexpr long kNameOffset = 64;
inline constexpr long kTypeCodeOffset = 72;
inline constexpr long kAttributeOffset = 73;
inline constexpr long kFileSizeOffset = 76;
inline constexpr long kDataLengthOffset = 86;
inline constexpr long kDataOffset = 88;
inline constexpr long kHeaderSize = 88;
inline constexpr long kFileHeaderSize = 64;
inline constexpr long kEntrySize = 16;
inline constexpr long kFileOverhead = 90;  // header + checksum

inline constexpr std::size_t kNameWidth = 8;
inline constexpr std::size_t kFolderWidth = 8;
inline constexpr std::size_t kCommentWidth = 40;

inline constexpr std::uint32_t kSingleFileDataOffset = 82;
inline constexpr std::uint16_t kHeaderMarker = 0x5AA5;  // bytes A5 5A

// Type codes the programs act on. Lab reports lie outside the name table.
inline constexpr std::uint8_t kTypeList = 4;
inline constexpr std::uint8_t kTypeMatrix = 6;
inline constexpr std::uint8_t kTypeData = 10;
inline constexpr std::uint8_t kTypeText = 11;
inline constexpr std::uint8_t kTypeString = 12;
inline constexpr std::uint8_t kTypePicture = 16;
inline constexpr std::uint8_t kTypeProgram = 18;
inline constexpr std::uint8_t kTypeFunction = 19;
inline constexpr std::uint8_t kTypeMacro = 20;
inline constexpr std::uint8_t kTypeFolder = 31;  // a group file's first entry
inline constexpr std::uint8_t kTypeLabReport = 139;

// Attribute byte values.
inline constexpr int kAttributeUnlocked = 0;
inline constexpr int kAttributeLocked = 1;
inline constexpr int kAttributeArchived = 3;

// The first 88 bytes of a single-variable file, field by field. Every field
// is held as the file holds it, except the data length, which is in host
// order here and big-endian in the file.
struct VarHeader {
    std::array<char, 8> signature{};
    std::uint16_t format_word = 0;
    std::array<char, kFolderWidth> folder{};
    std::array<char, kCommentWidth> comment{};
    std::uint16_t entry_count = 0;
    std::uint32_t data_offset = 0;
    std::array<char, kNameWidth> name{};
    std::uint8_t type_code = 0;
    std::uint8_t attribute = 0;
    std::array<std::uint8_t, 2> reserved_74{};
    std::uint32_t file_size = 0;
    std::uint16_t marker = 0;
    std::array<std::uint8_t, 4> reserved_82{};
    std::uint16_t data_length = 0;
};

// The first 64 bytes: the part of the header shared by files with several
// entries.
struct FileHeader {
    std::array<char, 8> signature{};
    std::uint16_t format_word = 0;
    std::array<char, kFolderWidth> folder{};
    std::array<char, kCommentWidth> comment{};
    std::uint16_t entry_count = 0;
    std::uint32_t data_offset = 0;  // of the first entry
};

// One 16-byte entry of the entry table, from offset 64 + 16 k.
struct EntryRecord {
    std::array<char, kNameWidth> name{};
    std::uint8_t type_code = 0;
    std::uint8_t attribute = 0;
    std::array<std::uint8_t, 2> reserved{};
    std::uint32_t next_offset = 0;  // the next entry's data offset, or the file size after the last
};

// A pair of big-endian 16-bit words; at offset 88 of a picture, its height and
// width in pixels.
struct Dimensions {
    std::uint16_t rows = 0;
    std::uint16_t columns = 0;
};

int vf_seek(long offset, std::FILE* stream);
// As fseek, from SEEK_CUR or SEEK_END: 0 on success, else nonzero.
int vf_seek_from(long offset, int whence, std::FILE* stream);
// As ftell: the position, or -1.
long vf_tell(std::FILE* stream);
std::int32_t vf_calculator_code(std::FILE* stream);
unsigned vf_format_word(std::FILE* stream);
int vf_read_header(VarHeader* header, std::FILE* stream);
int vf_write_header(const VarHeader* header, std::FILE* stream);
int vf_read_file_header(FileHeader* header, std::FILE* stream);
int vf_write_file_header(const FileHeader* header, std::FILE* stream);
int vf_read_entry(EntryRecord* entry, std::FILE* stream);
int vf_write_entry(const EntryRecord* entry, std::FILE* stream);
int vf_read_dimensions(Dimensions* pair, std::FILE* stream);
int vf_write_dimensions(const Dimensions* pair, std::FILE* stream);
int vf_read_word_pair(Dimensions* pair, std::FILE* stream);
int vf_write_word_pair(const Dimensions* pair, std::FILE* stream);
unsigned vf_data_length(std::FILE* stream);
unsigned vf_stored_checksum(std::FILE* stream);
unsigned vf_compute_checksum(std::FILE* stream);
int vf_write_checksum(std::uint16_t checksum, std::FILE* stream);

// ---- New files ----------------------------------------------------------

// The signature a new file's name asks for: ".9x" (TI-92 Plus), ".92" (TI-92)
// or ".89" (TI-89), each followed by `type_letters`, searched in that order as
// case-sensitive substrings of the file's own name (not of its folders);
// nullptr when none occurs.
const char* signature_for_file_name(std::string_view path, std::string_view type_letters);

// A single-variable header with everything but the names filled: signature,
// format word 1, one entry at offset 82, the type, the data length and the
// file size it makes, the marker.
VarHeader new_variable_header(const char* signature, std::uint8_t type_code,
                              std::uint16_t data_length);

// The 88 bytes of a header as the file holds them.
std::array<std::uint8_t, kHeaderSize> encoded_header(const VarHeader& header);

// Computes the checksum of a file whose header and data are written and
// appends it at the end. False when it cannot be written.
bool append_checksum(std::FILE* stream);

// The model number of a calculator code: 89 or 92 for the files this suite
// reads and writes.
inline unsigned vf_model_number(std::int32_t calculator_code) {
    return static_cast<std::uint32_t>(calculator_code) >> 16;
}

// The name of a type code: one of the 34 table names, "?" for the codes the
// table leaves unnamed and for every code beyond it.
const char* vf_type_name(unsigned type_code);

}  // namespace varkit
