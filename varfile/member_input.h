// The variable a program reads: the file named on its command line, or with
// --member=NAME one variable of a group, cut out into a scratch file of its
// own, so that the program reads it (and Varlook changes it) exactly as it
// would the same variable standing alone.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "varfile/command_line.h"
#include "varfile/file_io.h"
#include "varfile/groups.h"
#include "varfile/naming_options.h"

namespace varkit {

// The --member=NAME row of a program's table; the record keeps the name in
// its `member`.
template <class Record>
constexpr Option<Record> member_row() {
    return {
        text_option("member", "name", "work on the variable name (folder/name) of a group file"),
        [](Record& record, const OptionValue& value) {
            if (value.text.empty()) {
                return Verdict::bad("Error: --member takes a variable's name, not \"\".");
            }
            record.member = std::string(value.text);
            return Verdict{};
        }};
}

enum class InputStatus {
    Opened,
    CantOpen,  // the file cannot be opened (for update, when asked)
    CantRead,  // it opened but cannot be read
    Refused,   // an "Error:" line says why
};

// How a program words an input that cannot be opened or read: printf
// formats that take the path.
struct InputMessages {
    const char* cant_open;
    const char* cant_read;
};
inline constexpr InputMessages kInputMessages{"Error: Can't open %s.\n", "Error: Can't read %s.\n"};

// Prints the line for an input that did not open: the program's message with
// the path, or the refusal. False when one was printed.
bool input_opened(InputStatus status, const std::string& path, const std::string& refusal,
                  const InputMessages& messages, std::FILE* out);

// A variable file read whole, with its table.
struct GroupSource {
    std::string path;
    ByteString bytes;
    GroupFile group;
};

// Reads the file and its table. On Refused, `refusal` holds the whole
// "Error: ..." line: a file of no calculator the reader knows, one larger
// than any group, or a damaged table.
InputStatus load_group(const std::string& path, bool for_update, GroupSource& source,
                       std::string& refusal);

class VariableInput {
  public:
    // Opens the file, for update when asked; with a member name, reads its
    // table and opens that variable instead. On Refused, refusal() holds the
    // line to print.
    InputStatus open(const std::string& path, const std::optional<std::string>& member,
                     bool for_update);

    std::FILE* stream() const { return file_.get(); }
    FilePtr& file() { return file_; }
    // What messages call the input: the path, or the member's folder\name.
    const std::string& name() const { return name_; }
    const std::string& refusal() const { return refusal_; }

    // A member's folder and comment are its group's and its name is unique
    // in its folder: the "Error:" line for naming switches that would break
    // that, or "" when they can be applied. Always "" for a whole file.
    std::string naming_refusal(const NamingOptions& naming) const;

    enum class WriteBack { Unchanged, Written, Failed };
    // Puts what the program changed in a member back into the group, every
    // other byte of the group as it was, through a replace that leaves the
    // old group whole when it fails. A change that was not `whole` (a write
    // of it failed) leaves the group as it was. The stream must be closed
    // first. On Failed, refusal() holds the line to print.
    WriteBack write_back(bool whole);

  private:
    InputStatus open_member(const std::string& wanted);

    std::string name_;
    std::string refusal_;
    GroupSource source_;
    std::optional<std::size_t> member_;  // its index in source_.group.members
    ByteString member_bytes_;            // as it was cut out
    // Declared before the stream, so the stream is closed before the file goes.
    std::optional<ScratchFile> scratch_;
    FilePtr file_;
};

}  // namespace varkit
