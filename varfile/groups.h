// Files that hold several variables, and any variable file read as a list of
// the variables it holds: TI-89 / TI-92 / TI-92 Plus groups (the entry table
// with folder entries) and the files of the TI-82, 83, 83 Plus, 85 and 86
// (entries one after another after a 55-byte header). One reader lists them
// and cuts any one variable out as a single-variable file of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

using ByteString = std::vector<std::uint8_t>;

enum class GroupFamily {
    Ti68k,  // TI-89, TI-92, TI-92 Plus: FileHeader, EntryRecords, data blocks
    Ti82,   // 8-byte names
    Ti83,   // 8-byte names; the TI-83 Plus adds a version and a flag byte
    Ti86,   // TI-85 and TI-86: a length byte and that many name bytes
};

// One variable of the file, where its bytes are and what they say.
struct GroupMember {
    std::string folder;  // the folder it belongs to; empty on the older calculators
    std::string name;    // up to its first zero; TI-82/83 token names spelt out (Pic1, L1)
    std::uint8_t type_code = 0;
    std::uint8_t attribute = 0;    // 0 unlocked, 1 locked, 3 archived
    std::size_t entry = 0;         // its EntryRecord, or the older entry's header length word
    std::size_t folder_field = 0;  // TI-68k: the 8 bytes that name its folder
    std::size_t block = 0;         // TI-68k: its data block (4 reserved bytes, BE length, data)
    std::size_t end = 0;           // one past its checksum (TI-68k) or its data (older)
    std::uint16_t data_length = 0;
    // TI-68k: the variable's own checksum; older: the sum of the data
    // section, which covers every variable of the file.
    std::uint16_t stored_checksum = 0;
    std::uint16_t computed_checksum = 0;

    bool checksum_holds() const { return stored_checksum == computed_checksum; }
};

struct GroupFile {
    GroupFamily family = GroupFamily::Ti68k;
    std::string extension;             // ".89", ".92", ".9x", ".82", ".83", ".8x", ".85" or ".86"
    std::vector<GroupMember> members;  // variables in file order, folder entries left out
};

enum class GroupStatus {
    Read,
    NotVariableFile,  // no signature of a calculator the reader knows
    Damaged,          // the table lies; `detail` says how
};

struct GroupReading {
    GroupStatus status = GroupStatus::NotVariableFile;
    std::string detail;
    GroupFile group;
};

// Reads the table of any variable file, single or group, from its bytes.
// Every offset and length is checked against the file before it is used, and
// the walk only ever moves forward, so no table can make it read outside the
// bytes or go round in circles.
GroupReading read_group(std::span<const std::uint8_t> file);

// The name a member goes by: "folder\name", or the bare name when it has no
// folder.
std::string member_full_name(const GroupMember& member);

// The type's name: the TI-68k type table, or the older calculator's own.
const char* member_type_name(const GroupFile& group, const GroupMember& member);

// The calculator's conventional file name extension for the member: ".89t",
// ".9xi", ".86p", ...
std::string member_extension(const GroupFile& group, const GroupMember& member);

// The members that NAME names: "folder/name" or "folder\name", or a bare
// name, compared without regard to letter case.
std::vector<const GroupMember*> find_members(const GroupFile& group, std::string_view name);

// Another variable of the member's folder that already has `new_name`, or
// nullptr; none when the member keeps its own name.
const GroupMember* name_taken(const GroupFile& group, const GroupMember& member,
                              std::string_view new_name);

enum class MemberChecksum { AsStored, Recomputed };

// The member as a single-variable file of its calculator: the header (the
// group's signature and comment, the member's folder and name), its data
// bytes as they are, and the stored checksum or a correct one.
ByteString member_file(std::span<const std::uint8_t> file, const GroupFile& group,
                       const GroupMember& member, MemberChecksum checksum);

// The group's bytes with a TI-68k member replaced by what `changed`, its
// single-variable file from member_file, now holds: its name, attribute, data
// block and checksum go back to their places, every other byte stays. Empty,
// with `refusal` saying why, when the change cannot go back: a new folder or
// comment (the group's, shared by its variables), a different size, or a
// name that another variable of its folder has.
ByteString group_with_member(std::span<const std::uint8_t> file, const GroupFile& group,
                             const GroupMember& member, std::span<const std::uint8_t> changed,
                             std::string& refusal);

}  // namespace varkit
