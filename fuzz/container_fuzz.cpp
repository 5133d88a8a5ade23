// The container over any bytes as a stream: signature and format word, the
// header and the file header, the entry table walked as far as the header
// announces and the file holds, the dimension pair, the data length and both
// checksums. The decoded records must write back to the bytes they came
// from, and the checksum must be the plain sum it stands for. Then the group
// reader over the same bytes: every member it finds lies inside the file,
// cuts out as a single-variable file that reads back as that one member,
// and goes back into the group unchanged to the very bytes it came from.
#include <cstring>

#include "fuzz/support/fuzz_support.h"
#include "varfile/varfile.h"

namespace {

using namespace varkit;
using fuzzing::require;

// Writes a record through the library's own writer into memory and returns
// the bytes it wrote.
template <typename Write>
std::string written_bytes(Write write) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    require(stream != nullptr, "open_memstream failed");
    write(stream);
    std::fclose(stream);
    std::string bytes(buffer, size);
    std::free(buffer);
    return bytes;
}

bool same_bytes(const std::string& bytes, const std::uint8_t* data, std::size_t size) {
    return bytes.size() == size && std::memcmp(bytes.data(), data, size) == 0;
}

void check_headers(const std::uint8_t* data, std::size_t size, std::FILE* file) {
    VarHeader header;
    const int whole = vf_read_header(&header, file);
    require(whole == (size >= kHeaderSize ? 1 : 0), "header record count");
    if (whole == 1) {
        std::string again = written_bytes([&](std::FILE* out) { vf_write_header(&header, out); });
        require(same_bytes(again, data, kHeaderSize), "header does not write back to its bytes");
    }
    FileHeader file_header;
    const int whole_file_header = vf_read_file_header(&file_header, file);
    require(whole_file_header == (size >= kFileHeaderSize ? 1 : 0), "file header record count");
    if (whole_file_header == 1) {
        std::string again =
            written_bytes([&](std::FILE* out) { vf_write_file_header(&file_header, out); });
        require(same_bytes(again, data, kFileHeaderSize), "file header does not write back");
    }
    vf_type_name(header.type_code);
}

// Reads the entry table from offset 64 as a group file's reader does: at most
// the announced count, up to the last whole entry.
void walk_entries(const std::uint8_t* data, std::size_t size, std::FILE* file) {
    FileHeader header;
    vf_read_file_header(&header, file);
    if (vf_seek(kNameOffset, file) != 0) {
        return;
    }
    for (unsigned index = 0; index < header.entry_count; ++index) {
        EntryRecord entry;
        const std::size_t at = static_cast<std::size_t>(kNameOffset + kEntrySize * index);
        const int whole = vf_read_entry(&entry, file);
        require(whole == (size >= at + kEntrySize ? 1 : 0), "entry record count");
        if (whole != 1) {
            break;
        }
        std::string again = written_bytes([&](std::FILE* out) { vf_write_entry(&entry, out); });
        require(same_bytes(again, data + at, kEntrySize), "entry does not write back");
        vf_type_name(entry.type_code);
    }
}

void check_checksums(const std::uint8_t* data, std::size_t size, std::FILE* file) {
    const unsigned length = vf_data_length(file);
    require(length == (size >= kDataOffset ? (data[86] << 8 | data[87]) : 0u), "data length");
    const unsigned computed = vf_compute_checksum(file);
    const std::size_t data_end = static_cast<std::size_t>(kDataOffset) + length;
    if (length != 0 && size >= data_end) {
        unsigned sum = 0;
        for (std::size_t i = kDataLengthOffset; i < data_end; ++i) {
            sum += data[i];
        }
        require(computed == (sum & 0xFFFF), "computed checksum is not the sum");
    } else {
        require(computed == 0, "checksum over missing data");
    }
    const unsigned stored = vf_stored_checksum(file);
    require(stored == (size >= 2 ? (data[size - 2] | data[size - 1] << 8) : 0u), "stored checksum");
}

void check_member(std::span<const std::uint8_t> bytes, const GroupFile& group,
                  const GroupMember& member) {
    require(
        member.entry <= member.block && member.block <= member.end && member.end <= bytes.size(),
        "member outside the file");
    const ByteString single = member_file(bytes, group, member, MemberChecksum::AsStored);
    const GroupReading again = read_group(single);
    require(again.status == GroupStatus::Read && again.group.members.size() == 1,
            "a member file does not read as one variable");
    const GroupMember& alone = again.group.members.front();
    require(alone.name == member.name && alone.type_code == member.type_code &&
                alone.data_length == member.data_length &&
                alone.stored_checksum == member.stored_checksum,
            "a member file reads as another variable");
    if (group.family != GroupFamily::Ti68k) {
        return;
    }
    require(single.size() == member.data_length + std::size_t{kFileOverhead},
            "a member file's size");
    std::string refusal;
    require(group_with_member(bytes, group, member, single, refusal) ==
                ByteString(bytes.begin(), bytes.end()),
            "an unchanged member does not go back to the group's bytes");
}

void check_group(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const GroupReading reading = read_group(bytes);
    require(reading.status == GroupStatus::Damaged || reading.detail.empty(),
            "a detail without damage");
    for (const GroupMember& member : reading.group.members) {
        check_member(bytes, reading.group, member);
        find_members(reading.group, member_full_name(member));
        member_type_name(reading.group, member);
        member_extension(reading.group, member);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::MemoryFile input(data, size);
    FilePtr file = input.open();
    vf_model_number(vf_calculator_code(file.get()));
    vf_format_word(file.get());
    check_headers(data, size, file.get());
    walk_entries(data, size, file.get());
    Dimensions pair;
    require(vf_read_dimensions(&pair, file.get()) == (size >= kDataOffset + 4 ? 1 : 0),
            "dimension record count");
    check_checksums(data, size, file.get());
    check_group(data, size);
    return 0;
}
