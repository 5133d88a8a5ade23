#include "varfile/naming_options.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "varfile/host.h"

namespace varkit {

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
bool starts_with_letter(std::string_view value) {
    unsigned char first = value.empty() ? 0 : static_cast<unsigned char>(value[0]);
    return (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
}

template <std::size_t N>
Verdict take_identifier(std::array<char, N>& field, std::string_view value, const char* refusal) {
    if (!starts_with_letter(value)) {
        return Verdict::refused(refusal + std::string(value));
    }
    set_field(field, header_text(value));
    return {};
}

template <std::size_t N, std::size_t M>
void copy_to_header(std::array<char, M>& to, const std::array<char, N>& from) {
    static_assert(N == M + 1);
    std::copy_n(from.data(), M, to.data());
}

}  // namespace

Verdict take_variable_name(NamingOptions& options, std::string_view value) {
    return take_identifier(options.name, value, "Not a valid filename: ");
}

Verdict take_folder(NamingOptions& options, std::string_view value) {
    return take_identifier(options.folder, value, "Not a valid folder: ");
}

Verdict take_comment(NamingOptions& options, std::string_view value) {
    if (!value.empty()) {
        set_field(options.comment, header_text(value));
    }
    return {};
}

Verdict take_attribute(NamingOptions& options, int attribute) {
    options.attribute = attribute;
    return {};
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
    if (starts_with_letter(name)) {
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
        std::string source = header_text(input_name ? path_base_name(input_name) : "clipboard");
        char comment[kCommentWidth + 1];
        std::snprintf(comment, sizeof comment, "From %.35s", source.c_str());
        set_field(filled.comment, comment);
    }
    if (!is_given(filled.name)) {
        set_field(filled.name, header_text(default_name(output_path)));
    }
    copy_to_header(header.folder, filled.folder);
    copy_to_header(header.comment, filled.comment);
    copy_to_header(header.name, filled.name);
    header.attribute = static_cast<std::uint8_t>(
        options.attribute == kAttributeUnchanged ? kAttributeUnlocked : options.attribute);
}

}  // namespace varkit
