// The naming switches /N /F /C and the attribute switches /A /L /U, shared by
// the programs that name a variable: the info tool rewrites an existing file,
// the importers fill the header of the file they make.
#pragma once

#include <array>
#include <cstdio>
#include <string_view>

#include "varfile/command_line.h"
#include "varfile/container.h"

namespace varkit {

inline constexpr int kAttributeUnchanged = -1;

// Each text field is zero-filled; one whose first character is zero counts as
// not given.
struct NamingOptions {
    std::array<char, kNameWidth + 1> name{};
    std::array<char, kFolderWidth + 1> folder{};
    std::array<char, kCommentWidth + 1> comment{};
    int attribute = kAttributeUnchanged;  // or 0 unlocked, 1 locked, 3 archived
};

template <std::size_t N>
bool is_given(const std::array<char, N>& field) {
    return field[0] != '\0';
}

// The /N /F /C lines of every usage text that offers them.
inline constexpr std::string_view kNamingUsageLines =
    "  /N     New file name. This is the file name used in the calculator.\n"
    "          Maximum size= 8 characters.\n"
    "  /F     New folder name. Maximum size= 8 characters.\n"
    "  /C     New comment. If the comment is more than one word it must be enclosed\n"
    "          in quotes. Maximum size= 40 characters.\n";

// Each value switch takes the whole next argument, also when it refuses it: a
// name or folder that does not begin with a letter is refused with its line
// ("Not a valid filename: 9lives") and the field stays as it was.
Verdict take_variable_name(NamingOptions& options, std::string_view value);
Verdict take_folder(NamingOptions& options, std::string_view value);
// An empty comment leaves an earlier one in place.
Verdict take_comment(NamingOptions& options, std::string_view value);
Verdict take_attribute(NamingOptions& options, int attribute);

// The rows of the naming and attribute switches, first in the table of a
// program whose options record keeps its NamingOptions as `naming`.
template <class Record>
constexpr std::array<Option<Record>, 6> naming_switches() {
    using Value = const OptionValue&;
    return {{
        {value_switch('N', Takes::NextArgument, "name",
                      "the variable's name, at most 8 characters"),
         [](Record& r, Value v) { return take_variable_name(r.naming, v.text); }},
        {value_switch('F', Takes::NextArgument, "folder", "its folder, at most 8 characters"),
         [](Record& r, Value v) { return take_folder(r.naming, v.text); }},
        {value_switch('C', Takes::NextArgument, "text", "its comment, at most 40 characters"),
         [](Record& r, Value v) { return take_comment(r.naming, v.text); }},
        {flag_switch('A', "archive the variable"),
         [](Record& r, Value) { return take_attribute(r.naming, kAttributeArchived); }},
        {flag_switch('L', "lock the variable"),
         [](Record& r, Value) { return take_attribute(r.naming, kAttributeLocked); }},
        {flag_switch('U', "unlock the variable"),
         [](Record& r, Value) { return take_attribute(r.naming, kAttributeUnlocked); }},
    }};
}

// What follows the last '/' or '\' of a path: the part a name is taken from.
std::string_view path_base_name(std::string_view path);

// Without /N the variable name comes from the output file's name, and it
// must pass the same test a /N value does. False, after an "Error:" line on
// `messages` that suggests /N, when it does not.
bool check_default_name(const NamingOptions& options, std::string_view output_path,
                        std::FILE* messages);

// Fills the folder, comment, variable name and attribute of a new file's
// header: the given values, else "main", "From <input file>" (or "From
// clipboard" when input_name is null), the output file's name up to its first
// '.', and unlocked.
void fill_header_names(VarHeader& header, const NamingOptions& options, const char* input_name,
                       std::string_view output_path);

}  // namespace varkit
