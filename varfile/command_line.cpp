#include "varfile/command_line.h"

#include <cctype>
#include <charconv>

#include "varfile/host.h"

#ifndef VARKIT_VERSION
#define VARKIT_VERSION "0"
#endif

namespace varkit {

const std::array<OptionSpec, 2> kCommonOptions = {{
    flag_option("help", "print this help and exit"),
    flag_option("version", "print the program's name and version and exit"),
}};

bool is_switch(const char* argument) {
    if (argument[0] == '-') {
        return argument[1] != '-';
    }
    return argument[0] == '/' && !slash_argument_is_path(argument);
}

char switch_letter(const char* argument) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(argument[1])));
}

LongOption split_long_option(const char* argument) {
    std::string_view text(argument);
    text.remove_prefix(text.starts_with("--") ? 2 : 0);
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

namespace {

constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

bool same_letters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::vector<std::string_view> choices_of(const OptionSpec& option) {
    std::vector<std::string_view> choices;
    for (std::string_view rest = option.value; !rest.empty();) {
        std::size_t bar = rest.find('|');
        choices.push_back(rest.substr(0, bar));
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    return choices;
}

// "png, pbm or bmp"
std::string listed(const std::vector<std::string_view>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += i == 0 ? "" : i + 1 == words.size() ? " or " : ", ";
        text += words[i];
    }
    return text;
}

// What a long option takes, as its error line words it.
std::string what_it_takes(const OptionSpec& option) {
    switch (option.takes) {
        case Takes::Number:
            return "a number from " + std::to_string(option.low) + " to " +
                   std::to_string(option.high);
        case Takes::Choice:
            return listed(choices_of(option));
        case Takes::Text:
        case Takes::OptionalText:
            return "a " + std::string(option.value);
        default:
            return "no value";
    }
}

// "Error: --threshold takes a number from 0 to 255, not "300"."
std::string wrong_value(const OptionSpec& option, std::optional<std::string_view> given) {
    std::string line = "Error: --" + std::string(option.name) + " takes " + what_it_takes(option);
    if (given) {
        line += ", not \"" + std::string(*given) + "\"";
    }
    return line + ".";
}

// The value of a long option as its row allows it; nothing when it is wrong.
std::optional<OptionValue> long_option_value(const OptionSpec& option,
                                             std::optional<std::string_view> given) {
    if (option.takes == Takes::Nothing) {
        return given ? std::nullopt : std::optional<OptionValue>(OptionValue{});
    }
    if (!given) {
        if (option.takes == Takes::OptionalText) {
            OptionValue absent;
            absent.given = false;
            return absent;
        }
        return std::nullopt;
    }
    OptionValue value{*given};
    if (option.takes == Takes::Number) {
        const char* end = given->data() + given->size();
        auto [stop, error] = std::from_chars(given->data(), end, value.number);
        if (given->empty() || error != std::errc() || stop != end || value.number < option.low ||
            value.number > option.high) {
            return std::nullopt;
        }
    } else if (option.takes == Takes::Choice) {
        std::vector<std::string_view> choices = choices_of(option);
        auto chosen = std::find_if(choices.begin(), choices.end(), [&](std::string_view choice) {
            return same_letters(choice, *given);
        });
        if (chosen == choices.end()) {
            return std::nullopt;
        }
        value.text = *chosen;
    }
    return value;
}

// A name or folder is a word: it does not look like a switch.
bool is_word(const char* argument) {
    return argument != nullptr && argument[0] != '\0' && argument[0] != '/' && argument[0] != '-';
}

class Reader {
  public:
    Reader(int argc, char** argv, const CommandLineSyntax& syntax, ArgumentSink& sink)
        : args_(argc, argv), syntax_(syntax), sink_(sink) {}

    ParsedCommandLine read() {
        while (parsed_.asks == CommandLine::Run && !args_.done()) {
            const char* argument = args_.next();
            if (args_.is_long_option(argument)) {
                read_long_option(argument);
            } else if (args_.is_switch(argument) &&
                       !(syntax_.rules.standard_stream && std::string_view(argument) == "-")) {
                read_switch(argument);
            } else {
                ++file_names_;
                if (!sink_.take_file_name(argument)) {
                    parsed_.asks = CommandLine::Bad;
                }
            }
        }
        // A "--" with no file name after it names nothing to work on.
        if (parsed_.asks == CommandLine::Run && args_.options_ended() && file_names_ == 0) {
            parsed_.asks = CommandLine::Bad;
        }
        return std::move(parsed_);
    }

  private:
    std::size_t row_of(char letter) const {
        for (std::size_t row = 0; row < syntax_.options.size(); ++row) {
            if (syntax_.options[row].letter == letter && letter != '\0') {
                return row;
            }
        }
        return kNoRow;
    }

    std::size_t row_of(std::string_view name) const {
        for (std::size_t row = 0; row < syntax_.options.size(); ++row) {
            if (syntax_.options[row].letter == '\0' && syntax_.options[row].name == name) {
                return row;
            }
        }
        return kNoRow;
    }

    void bad(std::string error = {}) {
        parsed_.asks = CommandLine::Bad;
        parsed_.error = std::move(error);
    }

    void hand_over(std::size_t row, const OptionValue& value) {
        Verdict verdict = sink_.take_option(row, value);
        if (verdict.kind == Verdict::Kind::Refused) {
            parsed_.refusals.push_back(std::move(verdict.message));
        } else if (verdict.kind == Verdict::Kind::Bad) {
            bad(std::move(verdict.message));
        }
    }

    // An unprefixed guess is never made: only a whole name counts.
    void read_long_option(const char* argument) {
        LongOption option = split_long_option(argument);
        std::size_t row = row_of(option.name);
        const OptionSpec* spec = row == kNoRow ? nullptr : &syntax_.options[row];
        auto common = std::find_if(kCommonOptions.begin(), kCommonOptions.end(),
                                   [&](const OptionSpec& c) { return c.name == option.name; });
        if (spec == nullptr && common != kCommonOptions.end()) {
            spec = &*common;
        }
        if (spec == nullptr) {
            bad("Error: unknown option \"" + std::string(argument) + "\".");
            return;
        }
        std::optional<OptionValue> value = long_option_value(*spec, option.value);
        if (!value) {
            bad(wrong_value(*spec, option.value));
        } else if (row != kNoRow) {
            hand_over(row, *value);
        } else {
            parsed_.asks = common->name == "help" ? CommandLine::Help : CommandLine::Version;
        }
    }

    // Only the letter counts: what follows it is ignored unless the row takes
    // it as its value.
    void read_switch(const char* argument) {
        char letter = switch_letter(argument);
        if (letter == '?') {
            parsed_.asks = CommandLine::Usage;
            return;
        }
        std::size_t row = row_of(letter);
        if (row == kNoRow) {
            bad();
            return;
        }
        const char* rest = argument + 2;
        OptionValue value;
        switch (syntax_.options[row].takes) {
            case Takes::NextArgument:
                if (const char* next = args_.take_value()) {
                    value.text = next;
                } else {
                    bad();
                    return;
                }
                break;
            case Takes::NumberOrWord:
                if (!std::isdigit(static_cast<unsigned char>(rest[0])) &&
                    is_word(args_.peek_value())) {
                    value = {args_.take_value(), 0, true};
                    break;
                }
                [[fallthrough]];
            case Takes::RestOfSwitch:
                value.text = rest;
                break;
            default:
                break;
        }
        hand_over(row, value);
    }

    Arguments args_;
    const CommandLineSyntax& syntax_;
    ArgumentSink& sink_;
    ParsedCommandLine parsed_;
    int file_names_ = 0;
};

// Prints `text` with every "%s" replaced by `name`.
void print_with_name(std::FILE* out, const char* name, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            std::fputs(name, out);
            ++i;
        } else {
            std::fputc(text[i], out);
        }
    }
}

std::string usage_text(const ProgramHelp& help) {
    std::string text;
    for (std::string_view part : help.usage) {
        text += part;
    }
    return text;
}

}  // namespace

ParsedCommandLine read_arguments(int argc, char** argv, const CommandLineSyntax& syntax,
                                 ArgumentSink& sink) {
    if (argc < 2 && syntax.rules.usage_without_arguments) {
        return {CommandLine::Bad, {}, {}};
    }
    return Reader(argc, argv, syntax, sink).read();
}

std::string option_synopsis(const OptionSpec& option) {
    if (option.letter == '\0') {
        std::string synopsis = "--" + std::string(option.name);
        if (option.takes == Takes::OptionalText) {
            return synopsis + "[=" + std::string(option.value) + "]";
        }
        return option.takes == Takes::Nothing ? synopsis
                                              : synopsis + "=" + std::string(option.value);
    }
    std::string synopsis = {'/', option.letter};
    switch (option.takes) {
        case Takes::NextArgument:
            return synopsis + " " + std::string(option.value);
        case Takes::NumberOrWord:
            return synopsis + "[#] [" + std::string(option.value) + "]";
        case Takes::RestOfSwitch:
            return synopsis + std::string(option.value);
        default:
            return synopsis;
    }
}

void print_usage(std::FILE* out, const ProgramHelp& help) {
    std::fprintf(out, "%s %s\n", help.name, help.version);
    print_with_name(out, help.name, usage_text(help));
}

void print_help(std::FILE* out, const CommandLineSyntax& syntax) {
    print_usage(out, syntax.help);
    std::vector<OptionSpec> rows = syntax.options;
    rows.insert(rows.end(), kCommonOptions.begin(), kCommonOptions.end());
    std::size_t width = 0;
    for (const OptionSpec& row : rows) {
        width = std::max(width, option_synopsis(row).size());
    }
    // The options stand apart from the usage text by one empty line.
    std::fputs(usage_text(syntax.help).ends_with("\n\n") ? "Options:\n" : "\nOptions:\n", out);
    for (const OptionSpec& row : rows) {
        std::fprintf(out, "  %-*s  %.*s\n", static_cast<int>(width), option_synopsis(row).c_str(),
                     static_cast<int>(row.description.size()), row.description.data());
    }
    std::fprintf(out, "\n%.*s", static_cast<int>(syntax.help.formats.size()),
                 syntax.help.formats.data());
}

void print_version(std::FILE* out, const char* program) {
    std::fprintf(out, "%s %s\n", program, VARKIT_VERSION);
}

std::optional<int> answer_command_line(const ParsedCommandLine& parsed,
                                       const CommandLineSyntax& syntax, std::FILE* out,
                                       std::FILE* messages) {
    for (const std::string& refusal : parsed.refusals) {
        std::fprintf(messages, "%s\n", refusal.c_str());
    }
    switch (parsed.asks) {
        case CommandLine::Run:
            return std::nullopt;
        case CommandLine::Version:
            print_version(out, syntax.help.name);
            return 0;
        case CommandLine::Usage:
            print_usage(out, syntax.help);
            return 0;
        case CommandLine::Help:
            print_help(out, syntax);
            return 0;
        case CommandLine::Bad:
            break;
    }
    if (!parsed.error.empty()) {
        std::fprintf(messages, "%s\n", parsed.error.c_str());
    }
    print_usage(out, syntax.help);
    return 2;
}

}  // namespace varkit
