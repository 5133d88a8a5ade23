#include "varfile/member_input.h"

#include "varfile/container.h"

namespace varkit {
namespace {

// No calculator holds more than a few megabytes; a larger file is no group
// and is never read into memory.
constexpr long kLargestGroupFile = 16L << 20;

std::string error_line(const std::string& text) {
    return "Error: " + text + "\n";
}

// The whole of an open file; false when it cannot be read.
bool read_whole(std::FILE* file, long size, ByteString& bytes) {
    bytes.resize(static_cast<std::size_t>(size));
    return vf_seek(0, file) == 0 &&
           std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size() && !std::ferror(file);
}

std::string member_names(const std::vector<const GroupMember*>& members) {
    std::string names;
    for (const GroupMember* member : members) {
        names += (names.empty() ? "" : ", ") + member_full_name(*member);
    }
    return names;
}

}  // namespace

bool input_opened(InputStatus status, const std::string& path, const std::string& refusal,
                  const InputMessages& messages, std::FILE* out) {
    switch (status) {
        case InputStatus::Opened:
            return true;
        case InputStatus::CantOpen:
            std::fprintf(out, messages.cant_open, path.c_str());
            return false;
        case InputStatus::CantRead:
            std::fprintf(out, messages.cant_read, path.c_str());
            return false;
        case InputStatus::Refused:
            break;
    }
    std::fputs(refusal.c_str(), out);
    return false;
}

InputStatus load_group(const std::string& path, bool for_update, GroupSource& source,
                       std::string& refusal) {
    source.path = path;
    FilePtr file = open_existing_file(path.c_str(), for_update);
    if (!file) {
        return InputStatus::CantOpen;
    }
    const long size = file_size(file.get());
    if (size < 0) {
        return InputStatus::CantRead;
    }
    if (size > kLargestGroupFile) {
        refusal = error_line(path + " holds " + std::to_string(size) +
                             " bytes, more than any calculator does.");
        return InputStatus::Refused;
    }
    if (!read_whole(file.get(), size, source.bytes)) {
        return InputStatus::CantRead;
    }
    GroupReading reading = read_group(source.bytes);
    switch (reading.status) {
        case GroupStatus::Read:
            source.group = std::move(reading.group);
            return InputStatus::Opened;
        case GroupStatus::NotVariableFile:
            refusal = error_line("File type not supported.");
            return InputStatus::Refused;
        case GroupStatus::Damaged:
            break;
    }
    refusal = error_line(path + " is damaged: " + reading.detail + ".");
    return InputStatus::Refused;
}

InputStatus VariableInput::open(const std::string& path, const std::optional<std::string>& member,
                                bool for_update) {
    name_ = path;
    if (!member) {
        file_ = open_existing_file(path.c_str(), for_update);
        return file_ ? InputStatus::Opened : InputStatus::CantOpen;
    }
    // The group is only read here; a change goes back through write_back().
    InputStatus loaded = load_group(path, for_update, source_, refusal_);
    return loaded == InputStatus::Opened ? open_member(*member) : loaded;
}

InputStatus VariableInput::open_member(const std::string& wanted) {
    const std::vector<const GroupMember*> found = find_members(source_.group, wanted);
    if (found.empty()) {
        refusal_ = error_line("No variable " + wanted + " in " + source_.path + ".");
        return InputStatus::Refused;
    }
    if (found.size() > 1) {
        refusal_ = error_line(wanted + " names " + member_names(found) + "; give its folder too.");
        return InputStatus::Refused;
    }
    const GroupMember& member = *found.front();
    member_ = static_cast<std::size_t>(&member - source_.group.members.data());
    name_ = member_full_name(member);
    member_bytes_ = member_file(source_.bytes, source_.group, member, MemberChecksum::AsStored);
    scratch_.emplace("");
    file_ = scratch_->open_for_update();
    if (!file_ ||
        std::fwrite(member_bytes_.data(), 1, member_bytes_.size(), file_.get()) !=
            member_bytes_.size() ||
        std::fflush(file_.get()) != 0) {
        file_.reset();
        refusal_ = error_line("Can't write a temporary file.");
        return InputStatus::Refused;
    }
    return InputStatus::Opened;
}

std::string VariableInput::naming_refusal(const NamingOptions& naming) const {
    if (!member_) {
        return "";
    }
    if (is_given(naming.folder) || is_given(naming.comment)) {
        return error_line(
            "A group's variables share its folder and comment; /F and /C can't change them for "
            "one.");
    }
    const GroupMember* other =
        is_given(naming.name)
            ? name_taken(source_.group, source_.group.members[*member_], naming.name.data())
            : nullptr;
    return other ? error_line(member_full_name(*other) + " is already in " + source_.path + ".")
                 : "";
}

VariableInput::WriteBack VariableInput::write_back(bool whole) {
    if (!member_) {
        return WriteBack::Unchanged;
    }
    FilePtr scratch = open_existing_file(scratch_->path().c_str(), false);
    const long size = scratch ? file_size(scratch.get()) : -1;
    ByteString bytes;
    if (size < 0 || size > kLargestGroupFile || !read_whole(scratch.get(), size, bytes)) {
        refusal_ = error_line("Can't read a temporary file.");
        return WriteBack::Failed;
    }
    if (bytes == member_bytes_) {
        return WriteBack::Unchanged;
    }
    if (!whole) {
        refusal_ = error_line(source_.path + " is left as it was.");
        return WriteBack::Failed;
    }
    std::string why;
    const ByteString group = group_with_member(source_.bytes, source_.group,
                                               source_.group.members[*member_], bytes, why);
    if (group.empty()) {
        refusal_ = error_line(name_ + " can't go back into " + source_.path + ": " + why + ".");
        return WriteBack::Failed;
    }
    OutputFile output(source_.path);
    if (!output.open() ||
        std::fwrite(group.data(), 1, group.size(), output.stream()) != group.size() ||
        !output.commit()) {
        refusal_ = error_line("Can't write " + source_.path + ".");
        return WriteBack::Failed;
    }
    return WriteBack::Written;
}

}  // namespace varkit
