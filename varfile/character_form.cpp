#include "varfile/character_form.h"

#include <string>

#include "charset/charset.h"

namespace varkit {
namespace {

std::string option_of(CharacterForm form) {
    switch (form) {
        case CharacterForm::Unicode:
            return "--utf8";
        case CharacterForm::Ascii:
            return "--ascii";
        case CharacterForm::Bytes:
            break;
    }
    return "--bytes";
}

}  // namespace

Verdict choose_form(std::optional<CharacterForm>& chosen, CharacterForm wanted) {
    if (chosen && *chosen != wanted) {
        return Verdict::bad("Error: " + option_of(*chosen) + " and " + option_of(wanted) +
                            " cannot be used together.");
    }
    chosen = wanted;
    return {};
}

CharacterForm form_or_locale(std::optional<CharacterForm> chosen) {
    if (chosen) {
        return *chosen;
    }
    return locale_uses_utf8() ? CharacterForm::Unicode : CharacterForm::Bytes;
}

}  // namespace varkit
