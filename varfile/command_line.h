// Command lines: each program declares its switches and long options in one
// table, and one parser reads the arguments against it and fills the
// program's options record. The same table gives --help its option lines.
//
// The original switches: an argument that begins with '/' or '-' is a switch,
// and only the one character after the prefix counts, in any case. An
// argument that begins with "--" is one of varkit's own GNU-style long
// options. A lone "--" ends the options: every later argument is a file name.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varkit {

// A switch begins with '/' or '-'; only the character after it counts. On Unix
// an argument that begins with '/' and holds a further '/' is an absolute path.
// An argument that begins with "--" is a long option, never a switch.
bool is_switch(const char* argument);

// The upper-case switch character ('\0' for a bare "/" or "-").
char switch_letter(const char* argument);

// "--name" or "--name=value", without the dashes.
struct LongOption {
    std::string_view name;
    std::optional<std::string_view> value;
};

LongOption split_long_option(const char* argument);

// Walks argv[1] .. argv[argc - 1] in order. A lone "--" ends the options: it
// is passed over, and every argument after it is a file name.
class Arguments {
  public:
    Arguments(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool done() {
        pass_end_of_options();
        return index_ >= argc_;
    }
    // The next argument; only call when not done().
    const char* next() {
        pass_end_of_options();
        return argv_[index_++];
    }
    // A switch's value: the whole next argument whatever it starts with, or
    // nullptr when the switch stood last.
    const char* take_value() { return index_ < argc_ ? argv_[index_++] : nullptr; }
    // The argument take_value() would give, without taking it.
    const char* peek_value() const { return index_ < argc_ ? argv_[index_] : nullptr; }

    // What an argument from next() is, given the arguments before it.
    bool is_switch(const char* argument) const {
        return !options_ended_ && !is_long_option(argument) && varkit::is_switch(argument);
    }
    bool is_long_option(const char* argument) const {
        return !options_ended_ && argument[0] == '-' && argument[1] == '-';
    }
    bool options_ended() const { return options_ended_; }

  private:
    void pass_end_of_options() {
        if (!options_ended_ && index_ < argc_ && std::string_view(argv_[index_]) == "--") {
            options_ended_ = true;
            ++index_;
        }
    }

    int argc_;
    char** argv_;
    int index_ = 1;
    bool options_ended_ = false;
};

// How an option takes its value.
enum class Takes {
    Nothing,       // /X, --fit
    NextArgument,  // /N name: the whole next argument, whatever it begins with
    RestOfSwitch,  // /S79, /F*: what follows the letter in the same argument
    NumberOrWord,  // /F3, /F Arial, /F: the digits after the letter, else a next
                   // argument that is a word (not empty, no leading '/' or '-')
    Number,        // --threshold=N: a whole number within the row's range
    Choice,        // --format=png: one of the row's choices, in any case
    Text,          // --name=value: any text
    OptionalText,  // --name or --name=value: any text, or none
};

// One switch or long option: what it is called, what value it takes and the
// line --help gives it.
struct OptionSpec {
    char letter = '\0';     // a switch: its letter in upper case (or ':')
    std::string_view name;  // a long option: its name without the dashes
    Takes takes = Takes::Nothing;
    std::string_view value;  // what help calls the value ("name", "N", "x"); for
                             // Choice the choices, '|' between them ("png|pbm|bmp")
    long low = 0;            // Number: the range
    long high = 0;
    std::string_view description;
};

// Rows as tables write them.
constexpr OptionSpec flag_switch(char letter, std::string_view description) {
    return {letter, {}, Takes::Nothing, {}, 0, 0, description};
}
constexpr OptionSpec value_switch(char letter, Takes takes, std::string_view value,
                                  std::string_view description) {
    return {letter, {}, takes, value, 0, 0, description};
}
constexpr OptionSpec flag_option(std::string_view name, std::string_view description) {
    return {'\0', name, Takes::Nothing, {}, 0, 0, description};
}
constexpr OptionSpec number_option(std::string_view name, std::string_view value, long low,
                                   long high, std::string_view description) {
    return {'\0', name, Takes::Number, value, low, high, description};
}
constexpr OptionSpec choice_option(std::string_view name, std::string_view choices,
                                   std::string_view description) {
    return {'\0', name, Takes::Choice, choices, 0, 0, description};
}
constexpr OptionSpec text_option(std::string_view name, std::string_view value,
                                 std::string_view description) {
    return {'\0', name, Takes::Text, value, 0, 0, description};
}
constexpr OptionSpec optional_text_option(std::string_view name, std::string_view value,
                                          std::string_view description) {
    return {'\0', name, Takes::OptionalText, value, 0, 0, description};
}

// The value an option's handler is given.
struct OptionValue {
    // As given, the end of an argument, so a NUL follows it; for a Choice the
    // table's own spelling.
    std::string_view text;
    long number = 0;        // Number: the value
    bool separate = false;  // NumberOrWord: the text is the next argument
    bool given = true;      // OptionalText: false when the option came without "="
};

// What a handler made of its value.
struct Verdict {
    enum class Kind {
        Taken,
        Refused,  // the value was refused; the run goes on and fails
        Bad,      // a bad command line
    };
    Kind kind = Kind::Taken;
    std::string message;  // Refused: the line that says so; Bad: the "Error:" line

    static Verdict refused(std::string message) { return {Kind::Refused, std::move(message)}; }
    static Verdict bad(std::string message) { return {Kind::Bad, std::move(message)}; }
};

// A row of a program's table: the option and how it fills the program's
// options record.
template <class Record>
struct Option {
    OptionSpec spec;
    Verdict (*take)(Record& record, const OptionValue& value) = nullptr;
};

// The handler of a flag that turns on a member of the record:
// turn_on<&Settings::fit>.
template <auto flag, class Record>
Verdict turn_on(Record& record, const OptionValue&) {
    record.*flag = true;
    return {};
}

// One table from the rows of two: shared rows and a program's own.
template <class Row, std::size_t N, std::size_t M>
constexpr std::array<Row, N + M> join_rows(const std::array<Row, N>& first,
                                           const std::array<Row, M>& second) {
    std::array<Row, N + M> rows{};
    std::copy(first.begin(), first.end(), rows.begin());
    std::copy(second.begin(), second.end(), rows.begin() + N);
    return rows;
}

// A program's name and what its usage text and --help say.
struct ProgramHelp {
    const char* name = "";
    const char* version = "";  // the usage text's first line is the name and this
    // The usage text, in parts printed one after the other; "%s" stands for
    // the program's name.
    std::span<const std::string_view> usage;
    // The formats the program reads and writes, lines for --help.
    std::string_view formats;
};

// The rules of a command line beyond its options.
struct ArgumentRules {
    bool usage_without_arguments = false;  // no arguments at all is a bad command line
    bool standard_stream = false;          // "-" is a file name: standard input or output
};

template <class Record>
struct CommandLineTable {
    ProgramHelp help;
    ArgumentRules rules;
    std::span<const Option<Record>> options;
    // Takes the next file name; false when there is no place left for it.
    bool (*take_file_name)(Record& record, const char* name) = nullptr;
    // Checks the options together once all are read; may be left out.
    Verdict (*check)(const Record& record) = nullptr;
};

// A table without its record: what --help prints and the parser reads.
struct CommandLineSyntax {
    ProgramHelp help;
    ArgumentRules rules;
    std::vector<OptionSpec> options;  // the program's rows; --help and --version follow them
};

template <class Record>
CommandLineSyntax syntax_of(const CommandLineTable<Record>& table) {
    CommandLineSyntax syntax{table.help, table.rules, {}};
    for (const Option<Record>& option : table.options) {
        syntax.options.push_back(option.spec);
    }
    return syntax;
}

// The rows every program has after its own.
extern const std::array<OptionSpec, 2> kCommonOptions;

// What a command line asks for.
enum class CommandLine {
    Run,
    Usage,    // /?: the usage text
    Help,     // --help: the usage text and the options
    Version,  // --version
    Bad,      // the usage text, status 2
};

struct ParsedCommandLine {
    CommandLine asks = CommandLine::Run;
    std::string error;                  // Bad: the line that names the wrong argument, if any
    std::vector<std::string> refusals;  // lines for the values refused on the way
};

// Where the parser hands what it reads.
class ArgumentSink {
  public:
    virtual Verdict take_option(std::size_t row, const OptionValue& value) = 0;
    virtual bool take_file_name(const char* name) = 0;

  protected:
    ~ArgumentSink() = default;
};

// Reads the arguments against the syntax and hands each option, by its row,
// and each file name to the sink. Stops at the first argument that ends the
// reading (/?, --help, --version, a bad one).
ParsedCommandLine read_arguments(int argc, char** argv, const CommandLineSyntax& syntax,
                                 ArgumentSink& sink);

// Reads a program's command line into its options record.
template <class Record>
ParsedCommandLine parse_command_line(int argc, char** argv, const CommandLineTable<Record>& table,
                                     Record& record) {
    struct Sink final : ArgumentSink {
        Sink(const CommandLineTable<Record>& table, Record& record)
            : table(table), record(record) {}
        Verdict take_option(std::size_t row, const OptionValue& value) override {
            return table.options[row].take(record, value);
        }
        bool take_file_name(const char* name) override {
            return table.take_file_name(record, name);
        }
        const CommandLineTable<Record>& table;
        Record& record;
    };
    Sink sink(table, record);
    ParsedCommandLine parsed = read_arguments(argc, argv, syntax_of(table), sink);
    if (parsed.asks == CommandLine::Run && table.check != nullptr) {
        Verdict verdict = table.check(record);
        if (verdict.kind == Verdict::Kind::Bad) {
            parsed.asks = CommandLine::Bad;
            parsed.error = std::move(verdict.message);
        }
    }
    return parsed;
}

// Prints "<program> <version>" and then the usage text, with every "%s" of
// the text replaced by the program's name.
void print_usage(std::FILE* out, const ProgramHelp& help);

// The usage text, then "Options:" with one line for each row of the syntax
// and the common ones, then the formats.
void print_help(std::FILE* out, const CommandLineSyntax& syntax);

// How --help writes an option: "/N name", "/S[#|F]", "--format=png|pbm|bmp".
std::string option_synopsis(const OptionSpec& option);

// Prints "<program> <suite version>", what --version answers.
void print_version(std::FILE* out, const char* program);

// What a program does with its command line before a run: the refused values'
// lines and any error line on `messages`, then the usage text for /? (status
// 0) and a bad command line (status 2), the help for --help and the version
// line for --version (status 0) on `out`. Nothing for a run.
std::optional<int> answer_command_line(const ParsedCommandLine& parsed,
                                       const CommandLineSyntax& syntax, std::FILE* out,
                                       std::FILE* messages);

}  // namespace varkit
