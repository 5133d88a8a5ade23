#include "varfile/naming_options.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace varkit {

const char kNamingUsageLines[] =
    "  /N     New file name. This is the file name used in the calculator.\n"
    "          Maximum size= 8 characters.\n"
    "  /F     New folder name. Maximum size= 8 characters.\n"
    "  /C     New comment. If the comment is more than one word it must be enclosed\n"
    "          in quotes. Maximum size= 40 characters.\n";

namespace {

// Copies at most the field's width and zero-fills the rest, so a shorter new
// value leaves nothing of an older one.
template <std::size_t N>
void set_field(std::array<char, N>& field, std::string_view value) {
    field.fill('\0');
    std::size_t count = std::min(value.size(), N - 1);
    std::copy_n(value.data(), count, field.data());
}

// A calculator name or folder must begin with an ASCII letter; the rest is
// taken as it stands.
bool starts_with_letter(const char* value) {
    unsigned char first = static_cast<unsigned char>(value[0]);
    return (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
}

// Returns false, after the message, when the value is refused.
template <std::size_t N>
bool take_identifier(std::array<char, N>& field, const char* value, const char* rejection,
                     std::FILE* messages) {
    if (!starts_with_letter(value)) {
        std::fprintf(messages, rejection, value);
        return false;
    }
    set_field(field, value);
    return true;
}

template <std::size_t N, std::size_t M>
void copy_to_header(std::array<char, M>& to, const std::array<char, N>& from) {
    static_assert(N == M + 1);
    std::copy_n(from.data(), M, to.data());
}

}  // namespace

NamingSwitch take_naming_switch(char letter, Arguments& args, NamingOptions& options,
                                std::FILE* messages) {
    switch (letter) {
        case 'A':
            options.attribute = kAttributeArchived;
            return NamingSwitch::Taken;
        case 'L':
            options.attribute = kAttributeLocked;
            return NamingSwitch::Taken;
        case 'U':
            options.attribute = kAttributeUnlocked;
            return NamingSwitch::Taken;
        case 'N':
        case 'F':
        case 'C':
            break;
        default:
            return NamingSwitch::NotNaming;
    }
    const char* value = args.take_value();
    if (value == nullptr) {
        return NamingSwitch::MissingValue;
    }
    if (letter == 'N') {
        options.rejected |=
            !take_identifier(options.name, value, "Not a valid filename: %s\n", messages);
    } else if (letter == 'F') {
        options.rejected |=
            !take_identifier(options.folder, value, "Not a valid folder: %s\n", messages);
    } else if (value[0] != '\0') {
        // An empty comment leaves an earlier one in place.
        set_field(options.comment, value);
    }
    return NamingSwitch::Taken;
}

std::string_view path_base_name(std::string_view path) {
    std::size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? path : path.substr(last + 1);
}

namespace {

// The variable name an output file's name gives: up to its first '.'.
std::string_view default_name(std::string_view output_path) {
    std::string_view base = path_base_name(output_path);
    return base.substr(0, base.find('.'));
}

}  // namespace

bool check_default_name(const NamingOptions& options, std::string_view output_path,
                        std::FILE* messages) {
    if (is_given(options.name)) {
        return true;
    }
    std::string name(default_name(output_path).substr(0, kNameWidth));
    if (starts_with_letter(name.c_str())) {
        return true;
    }
    std::fprintf(messages, "Error: \"%s\" is not a valid calculator name; give one with /N name.\n",
                 name.c_str());
    return false;
}

void fill_header_names(VarHeader& header, const NamingOptions& options, const char* input_name,
                       std::string_view output_path) {
    NamingOptions filled = options;
    if (!is_given(filled.folder)) {
        set_field(filled.folder, "main");
    }
    if (!is_given(filled.comment)) {
        std::string_view source = input_name ? path_base_name(input_name) : "clipboard";
        char comment[kCommentWidth + 1];
        std::snprintf(comment, sizeof comment, "From %.35s", std::string(source).c_str());
        set_field(filled.comment, comment);
    }
    if (!is_given(filled.name)) {
        set_field(filled.name, default_name(output_path));
    }
    copy_to_header(header.folder, filled.folder);
    copy_to_header(header.comment, filled.comment);
    copy_to_header(header.name, filled.name);
    header.attribute = static_cast<std::uint8_t>(
        options.attribute == kAttributeUnchanged ? kAttributeUnlocked : options.attribute);
}

}  // namespace varkit
