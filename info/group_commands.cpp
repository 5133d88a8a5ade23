#include "info/group_commands.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>

#include "info/summaries.h"

namespace varkit {
namespace {

std::string lower_case(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

void print_member_line(const GroupFile& group, const GroupMember& member, std::FILE* out) {
    std::fprintf(out, "%-17s %-6s %-8s %5u  ", shown_field(member_full_name(member), out).c_str(),
                 member_type_name(group, member), status_word(member.attribute),
                 unsigned{member.data_length});
    if (member.checksum_holds()) {
        std::fputs("checksum ok\n", out);
    } else {
        std::fprintf(out, "checksum wrong: %Xh, should be %Xh\n", unsigned{member.stored_checksum},
                     unsigned{member.computed_checksum});
    }
}

// ---- Extracting -------------------------------------------------------------

// Names Windows keeps for its devices, with any extension.
bool reserved_on_windows(const std::string& name) {
    const std::string lower = lower_case(name);
    if (lower == "con" || lower == "prn" || lower == "aux" || lower == "nul") {
        return true;
    }
    return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) &&
           lower[3] >= '1' && lower[3] <= '9';
}

struct SafeName {
    std::string name;
    bool changed = false;
};

// A variable name as a file name that stays in the folder and means the same
// on every system: separators, control bytes and the characters Windows
// refuses become '_', and so do names of only dots; a device name of Windows
// gets a '_' after it.
SafeName safe_file_name(const std::string& variable_name) {
    SafeName safe{variable_name};
    for (char& c : safe.name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || std::strchr("/\\<>:\"|?*", c) != nullptr) {
            c = '_';
            safe.changed = true;
        }
    }
    if (safe.name.find_first_not_of('.') == std::string::npos) {
        safe.name.assign(std::max<std::size_t>(safe.name.size(), 1), '_');
        safe.changed = true;
    }
    if (reserved_on_windows(safe.name)) {
        safe.name += '_';
        safe.changed = true;
    }
    return safe;
}

std::string path_in(const std::string& folder, const std::string& file_name) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') {
        return folder + file_name;
    }
    return folder + "/" + file_name;
}

struct ExtractCounts {
    int written = 0;
    int skipped = 0;
    int refused = 0;
};

// Writes the file, replacing an existing one only when asked, and then only
// a regular file: a device, a pipe or a dangling link of that name is never
// written through.
OutputFile::NewFile write_new_file(const std::string& path, const ByteString& bytes, bool replace) {
    namespace fs = std::filesystem;
    std::error_code unknown;
    if (replace && fs::symlink_status(path, unknown).type() != fs::file_type::not_found &&
        fs::status(path, unknown).type() != fs::file_type::regular) {
        return OutputFile::NewFile::Taken;
    }
    OutputFile output(path);
    if (!output.open() ||
        std::fwrite(bytes.data(), 1, bytes.size(), output.stream()) != bytes.size()) {
        return OutputFile::NewFile::Failed;
    }
    if (replace) {
        return output.commit() ? OutputFile::NewFile::Written : OutputFile::NewFile::Failed;
    }
    return output.commit_new();
}

void extract_member(const GroupSource& source, const GroupMember& member, const std::string& folder,
                    bool replace, std::set<std::string>& taken, ExtractCounts& counts,
                    std::FILE* out) {
    const std::string shown = shown_field(member_full_name(member), out);
    const SafeName safe = safe_file_name(member.name);
    const std::string path = path_in(folder, safe.name + member_extension(source.group, member));
    // Two variables of one group never share a file, whatever the letter case.
    if (!taken.insert(lower_case(path)).second) {
        std::fprintf(out, "Error: %s was written for another variable; %s not written.\n",
                     path.c_str(), shown.c_str());
        ++counts.refused;
        return;
    }
    const ByteString bytes =
        member_file(source.bytes, source.group, member, MemberChecksum::Recomputed);
    switch (write_new_file(path, bytes, replace)) {
        case OutputFile::NewFile::Written:
            std::fprintf(out, "%s -> %s%s%s\n", shown.c_str(), path.c_str(),
                         safe.changed ? " (name made safe)" : "",
                         member.checksum_holds() ? "" : " (checksum corrected)");
            ++counts.written;
            return;
        case OutputFile::NewFile::Taken:
            std::fprintf(out, "Error: %s exists%s; %s not written%s.\n", path.c_str(),
                         replace ? " and is no regular file" : "", shown.c_str(),
                         replace ? "" : " (--force replaces it)");
            ++counts.skipped;
            return;
        case OutputFile::NewFile::Failed:
            break;
    }
    std::fprintf(out, "Error: Can't write %s; %s not written.\n", path.c_str(), shown.c_str());
    ++counts.refused;
}

// Reads the file and its table; false after the line that says why not.
bool load(const std::string& path, GroupSource& source, std::FILE* out) {
    std::string refusal;
    return input_opened(load_group(path, false, source, refusal), path, refusal, kInputMessages,
                        out);
}

}  // namespace

bool list_group(const std::string& path, std::FILE* out) {
    GroupSource source;
    if (!load(path, source, out)) {
        return false;
    }
    bool sound = true;
    for (const GroupMember& member : source.group.members) {
        print_member_line(source.group, member, out);
        sound = sound && member.checksum_holds();
    }
    return sound;
}

bool extract_group(const std::string& path, const std::string& folder, bool replace,
                   std::FILE* out) {
    GroupSource source;
    if (!load(path, source, out)) {
        return false;
    }
    std::error_code unknown;
    if (!folder.empty() && !std::filesystem::is_directory(folder, unknown)) {
        std::fprintf(out, "Error: %s is not a folder.\n", folder.c_str());
        return false;
    }
    ExtractCounts counts;
    std::set<std::string> taken;
    for (const GroupMember& member : source.group.members) {
        extract_member(source, member, folder, replace, taken, counts, out);
    }
    std::fprintf(out, "%d written, %d skipped, %d refused.\n", counts.written, counts.skipped,
                 counts.refused);
    return counts.skipped + counts.refused == 0;
}

}  // namespace varkit
