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
    bool rejected = false;                // a name or folder was refused with a message
};

template <std::size_t N>
bool is_given(const std::array<char, N>& field) {
    return field[0] != '\0';
}

// The /N /F /C lines of every usage text that offers them.
extern const char kNamingUsageLines[];

enum class NamingSwitch {
    NotNaming,     // the letter is none of N F C A L U
    Taken,         // applied, or rejected with its message printed
    MissingValue,  // /N /F or /C stood last, with no value to take
};

// Applies one naming or attribute switch. A value switch takes the whole next
// argument, also when it rejects it; a rejected name or folder prints its
// message on `messages` and leaves the field as it was.
NamingSwitch take_naming_switch(char letter, Arguments& args, NamingOptions& options,
                                std::FILE* messages);

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
