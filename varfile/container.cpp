// The variable file container: header, entry table, dimension pair and
// checksum on an open binary stream.
#include "varfile/container.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "varfile/byte_order.h"
#include "varfile/file_io.h"

namespace varkit {
namespace {

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;
using FileHeaderBytes = std::array<std::uint8_t, kFileHeaderSize>;
using EntryBytes = std::array<std::uint8_t, kEntrySize>;

template <std::size_t N>
void copy_out(const std::uint8_t* from, std::array<char, N>& to) {
    std::memcpy(to.data(), from, N);
}

template <std::size_t N>
void copy_in(const std::array<char, N>& from, std::uint8_t* to) {
    std::memcpy(to, from.data(), N);
}

template <std::size_t N>
void copy_out(const std::uint8_t* from, std::array<std::uint8_t, N>& to) {
    std::memcpy(to.data(), from, N);
}

template <std::size_t N>
void copy_in(const std::array<std::uint8_t, N>& from, std::uint8_t* to) {
    std::memcpy(to, from.data(), N);
}

// Offsets 0 to 63 are laid out alike in the single-variable header and the
// file header of a multi-entry file.
template <typename Header>
void decode_common(const std::uint8_t* b, Header& h) {
    copy_out(b + kSignatureOffset, h.signature);
    h.format_word = read_le16(b + kFormatWordOffset);
    copy_out(b + kFolderOffset, h.folder);
    copy_out(b + kCommentOffset, h.comment);
    h.entry_count = read_le16(b + kEntryCountOffset);
    h.data_offset = read_le32(b + 60);
}

template <typename Header>
void encode_common(const Header& h, std::uint8_t* b) {
    copy_in(h.signature, b + kSignatureOffset);
    write_le16(b + kFormatWordOffset, h.format_word);
    copy_in(h.folder, b + kFolderOffset);
    copy_in(h.comment, b + kCommentOffset);
    write_le16(b + kEntryCountOffset, h.entry_count);
    write_le32(b + 60, h.data_offset);
}

void decode_entry(const std::uint8_t* b, EntryRecord& e) {
    copy_out(b, e.name);
    e.type_code = b[8];
    e.attribute = b[9];
    copy_out(b + 10, e.reserved);
    e.next_offset = read_le32(b + 12);
}

void encode_entry(const EntryRecord& e, std::uint8_t* b) {
    copy_in(e.name, b);
    b[8] = e.type_code;
    b[9] = e.attribute;
    copy_in(e.reserved, b + 10);
    write_le32(b + 12, e.next_offset);
}

void decode_header(const HeaderBytes& b, VarHeader& h) {
    decode_common(b.data(), h);
    EntryRecord entry;
    decode_entry(b.data() + kNameOffset, entry);
    h.name = entry.name;
    h.type_code = entry.type_code;
    h.attribute = entry.attribute;
    h.reserved_74 = entry.reserved;
    h.file_size = entry.next_offset;
    h.marker = read_le16(b.data() + 80);
    copy_out(b.data() + 82, h.reserved_82);
    h.data_length = read_be16(b.data() + kDataLengthOffset);
}

}  // namespace

HeaderBytes encoded_header(const VarHeader& h) {
    HeaderBytes b{};
    encode_common(h, b.data());
    encode_entry(EntryRecord{h.name, h.type_code, h.attribute, h.reserved_74, h.file_size},
                 b.data() + kNameOffset);
    write_le16(b.data() + 80, h.marker);
    copy_in(h.reserved_82, b.data() + 82);
    write_be16(b.data() + kDataLengthOffset, h.data_length);
    return b;
}

namespace {

// Reads exactly two bytes at the current position; false when fewer remain.
bool read_two(std::FILE* stream, std::uint8_t (&bytes)[2]) {
    return std::fread(bytes, 1, 2, stream) == 2;
}

// The record count of one whole-block read or write, as fread/fwrite count it.
int read_record(void* to, std::size_t size, std::FILE* stream) {
    return static_cast<int>(std::fread(to, size, 1, stream));
}

int write_record(const void* from, std::size_t size, std::FILE* stream) {
    return static_cast<int>(std::fwrite(from, size, 1, stream));
}

// Adds the calculator letters that follow the model number in a signature, up
// to the first '*', as signed 8-bit codes.
std::int32_t sum_letters(const char* p) {
    std::int32_t sum = 0;
    for (; *p != '\0' && *p != '*'; ++p) {
        sum += static_cast<signed char>(*p);
    }
    return sum;
}

}  // namespace

int vf_seek(long offset, std::FILE* stream) {
    return vf_seek_from(offset, SEEK_SET, stream);
}

int vf_seek_from(long offset, int whence, std::FILE* stream) {
    if (stream == nullptr) {
        return -1;
    }
    // fseek, unlike rewind, leaves the error indicator set: a read or write
    // that failed before stays visible to whoever checks the stream at the end.
    if (std::fseek(stream, offset, whence) != 0) {
        set_stream_error(stream);
        return -1;
    }
    return 0;
}

long vf_tell(std::FILE* stream) {
    long position = std::ftell(stream);
    if (position < 0) {
        set_stream_error(stream);
    }
    return position;
}

std::int32_t vf_calculator_code(std::FILE* stream) {
    if (vf_seek(kSignatureOffset, stream) != 0) {
        return 0;
    }
    char signature[9] = {};
    std::size_t got = std::fread(signature, 1, 8, stream);
    signature[got] = '\0';

    const char* p = signature;
    while (*p != '\0' && (*p < '0' || *p > '9')) {
        ++p;
    }
    // The digit run is at most 8 characters; unsigned arithmetic keeps an
    // absurd one from overflowing.
    std::uint32_t model = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        model = model * 10 + static_cast<std::uint32_t>(*p - '0');
    }
    std::uint32_t letters = static_cast<std::uint32_t>(sum_letters(p));
    return static_cast<std::int32_t>((model << 16) | letters);
}

unsigned vf_format_word(std::FILE* stream) {
    std::uint8_t bytes[2];
    if (vf_seek(kFormatWordOffset, stream) != 0 || !read_two(stream, bytes)) {
        return 0;
    }
    return read_le16(bytes);
}

int vf_read_header(VarHeader* header, std::FILE* stream) {
    if (header == nullptr || vf_seek(0, stream) != 0) {
        return 0;
    }
    // A short file leaves the bytes it had in the record and zeros after them.
    HeaderBytes bytes{};
    int count = read_record(bytes.data(), bytes.size(), stream);
    decode_header(bytes, *header);
    return count;
}

int vf_write_header(const VarHeader* header, std::FILE* stream) {
    if (header == nullptr || vf_seek(0, stream) != 0) {
        return 0;
    }
    HeaderBytes bytes = encoded_header(*header);
    return write_record(bytes.data(), bytes.size(), stream);
}

int vf_read_file_header(FileHeader* header, std::FILE* stream) {
    if (header == nullptr || vf_seek(0, stream) != 0) {
        return 0;
    }
    FileHeaderBytes bytes{};
    int count = read_record(bytes.data(), bytes.size(), stream);
    decode_common(bytes.data(), *header);
    return count;
}

int vf_write_file_header(const FileHeader* header, std::FILE* stream) {
    if (header == nullptr || vf_seek(0, stream) != 0) {
        return 0;
    }
    FileHeaderBytes bytes{};
    encode_common(*header, bytes.data());
    return write_record(bytes.data(), bytes.size(), stream);
}

int vf_read_entry(EntryRecord* entry, std::FILE* stream) {
    if (entry == nullptr || stream == nullptr) {
        return 0;
    }
    EntryBytes bytes{};
    int count = read_record(bytes.data(), bytes.size(), stream);
    decode_entry(bytes.data(), *entry);
    return count;
}

int vf_write_entry(const EntryRecord* entry, std::FILE* stream) {
    if (entry == nullptr || stream == nullptr) {
        return 0;
    }
    EntryBytes bytes{};
    encode_entry(*entry, bytes.data());
    return write_record(bytes.data(), bytes.size(), stream);
}

int vf_read_word_pair(Dimensions* pair, std::FILE* stream) {
    if (pair == nullptr || stream == nullptr) {
        return 0;
    }
    std::uint8_t bytes[4] = {};
    int count = read_record(bytes, sizeof bytes, stream);
    pair->rows = read_be16(bytes);
    pair->columns = read_be16(bytes + 2);
    return count;
}

int vf_write_word_pair(const Dimensions* pair, std::FILE* stream) {
    if (pair == nullptr || stream == nullptr) {
        return 0;
    }
    std::uint8_t bytes[4];
    write_be16(bytes, pair->rows);
    write_be16(bytes + 2, pair->columns);
    return write_record(bytes, sizeof bytes, stream);
}

int vf_read_dimensions(Dimensions* pair, std::FILE* stream) {
    if (pair == nullptr || vf_seek(kDataOffset, stream) != 0) {
        return 0;
    }
    return vf_read_word_pair(pair, stream);
}

int vf_write_dimensions(const Dimensions* pair, std::FILE* stream) {
    if (pair == nullptr || vf_seek(kDataOffset, stream) != 0) {
        return 0;
    }
    return vf_write_word_pair(pair, stream);
}

unsigned vf_data_length(std::FILE* stream) {
    std::uint8_t bytes[2];
    if (vf_seek(kDataLengthOffset, stream) != 0 || !read_two(stream, bytes)) {
        return 0;
    }
    return read_be16(bytes);
}

unsigned vf_stored_checksum(std::FILE* stream) {
    std::uint8_t bytes[2];
    if (stream == nullptr) {
        return 0;
    }
    if (vf_seek_from(-2, SEEK_END, stream) != 0 || !read_two(stream, bytes)) {
        return 0;
    }
    return read_le16(bytes);
}

unsigned vf_compute_checksum(std::FILE* stream) {
    unsigned data_length = vf_data_length(stream);
    if (data_length == 0 || vf_seek(kDataLengthOffset, stream) != 0) {
        return 0;
    }
    // The sum covers the length field and the data; counting in 32 bits keeps
    // the lengths 65534 and 65535 (n + 2 beyond 16 bits) exact.
    // Read a block at a time: a call per byte costs more than the sum.
    std::uint32_t remaining = data_length + 2;
    std::uint32_t sum = 0;
    std::array<std::uint8_t, 4096> block;
    while (remaining > 0) {
        std::size_t wanted = std::min<std::size_t>(remaining, block.size());
        if (std::fread(block.data(), 1, wanted, stream) != wanted) {
            return 0;
        }
        for (std::size_t i = 0; i < wanted; ++i) {
            sum += block[i];
        }
        remaining -= static_cast<std::uint32_t>(wanted);
    }
    return sum & 0xFFFF;
}

int vf_write_checksum(std::uint16_t checksum, std::FILE* stream) {
    if (stream == nullptr) {
        return 0;
    }
    std::uint8_t bytes[2];
    write_le16(bytes, checksum);
    return write_record(bytes, sizeof bytes, stream);
}

const char* signature_for_file_name(std::string_view path, std::string_view type_letters) {
    struct Prefix {
        const char* extension;
        const char* signature;
    };
    static constexpr Prefix kPrefixes[] = {
        {".9x", "**TI92P*"}, {".92", "**TI92**"}, {".89", "**TI89**"}};
    std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (const Prefix& prefix : kPrefixes) {
        std::string extension = std::string(prefix.extension) + std::string(type_letters);
        if (name.find(extension) != std::string_view::npos) {
            return prefix.signature;
        }
    }
    return nullptr;
}

VarHeader new_variable_header(const char* signature, std::uint8_t type_code,
                              std::uint16_t data_length) {
    VarHeader header;
    std::copy_n(signature, std::min(std::strlen(signature), header.signature.size()),
                header.signature.begin());
    header.format_word = 1;
    header.entry_count = 1;
    header.data_offset = kSingleFileDataOffset;
    header.type_code = type_code;
    header.data_length = data_length;
    header.file_size = static_cast<std::uint32_t>(data_length + kFileOverhead);
    header.marker = kHeaderMarker;
    return header;
}

bool append_checksum(std::FILE* stream) {
    auto checksum = static_cast<std::uint16_t>(vf_compute_checksum(stream));
    return !std::ferror(stream) && vf_seek_from(0, SEEK_END, stream) == 0 &&
           vf_write_checksum(checksum, stream) == 1;
}

const char* vf_type_name(unsigned type_code) {
    // One 6-byte slot per code 0 to 33, indexed by the code.
    static constexpr char kTypeNames[34][6] = {
        "EXPR", "?",   "?",   "?", "LIST", "?", "MAT",  "?",     "?",   "?",   "DATA", "TEXT",
        "STR",  "GDB", "FIG", "?", "PIC",  "?", "PROG", "FUNC",  "MAC", "?",   "?",    "?",
        "?",    "?",   "?",   "?", "?",    "?", "?",    "GROUP", "?",   "ASM",
    };
    if (type_code >= std::size(kTypeNames)) {
        return "?";
    }
    return kTypeNames[type_code];
}

}  // namespace varkit
