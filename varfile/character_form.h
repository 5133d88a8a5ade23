// The form in which calculator text meets the desktop: the calculator's own
// bytes (the original programs' form), Unicode (UTF-8 through the character
// table), or the one-way ASCII approximation. The locale chooses between the
// first two unless an option does: --bytes, --utf8, --ascii.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "varfile/command_line.h"

namespace varkit {

enum class CharacterForm { Bytes, Unicode, Ascii };

// The form an option asks for: a second, different one is a bad command line
// ("Error: --utf8 and --ascii cannot be used together.").
Verdict choose_form(std::optional<CharacterForm>& chosen, CharacterForm wanted);

// The form asked for, else the locale's: Unicode in a UTF-8 locale, the
// bytes in the C locale and on Windows.
CharacterForm form_or_locale(std::optional<CharacterForm> chosen);

// The --bytes and --utf8 rows of a program's table, whose options record
// keeps the chosen form as `form`; each program says what the form is for.
template <class Record>
constexpr std::array<Option<Record>, 2> character_form_rows(std::string_view bytes_description,
                                                            std::string_view utf8_description) {
    return {{
        {flag_option("bytes", bytes_description),
         [](Record& r, const OptionValue&) { return choose_form(r.form, CharacterForm::Bytes); }},
        {flag_option("utf8", utf8_description),
         [](Record& r, const OptionValue&) { return choose_form(r.form, CharacterForm::Unicode); }},
    }};
}

}  // namespace varkit
