#include "platform/desktop/dialogs.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "platform/desktop/session.h"
#include "platform/desktop/spawn.h"

namespace varkit::desktop {
namespace {

// zenity: 0 chosen, 1 cancelled; anything else means it could not show.
constexpr int kChosen = 0;
constexpr int kCancelled = 1;

struct Answer {
    bool shown = false;
    std::optional<std::string> value;
};

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        std::string part(text.substr(start, end - start));
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

// The filter's patterns for a file chooser that compares case: each as
// written, in lower case and in upper case ("*.89T" also finds "note.89t").
std::string patterns_any_case(const FileFilter& filter) {
    std::vector<std::string> seen;
    for (const std::string& pattern : split(filter.patterns, ';')) {
        for (const std::string& variant : {pattern, lower(pattern), upper(pattern)}) {
            if (std::find(seen.begin(), seen.end(), variant) == seen.end()) {
                seen.push_back(variant);
            }
        }
    }
    std::string joined;
    for (const std::string& pattern : seen) {
        joined += (joined.empty() ? "" : " ") + pattern;
    }
    return joined;
}

// A name typed without any extension gets the default one, as a save dialog does.
std::string with_default_extension(std::string path, const FileDialog& dialog) {
    std::size_t name_start = path.find_last_of('/');
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    if (!dialog.default_extension.empty() && path.find('.', name_start) == std::string::npos) {
        path += "." + dialog.default_extension;
    }
    return path;
}

std::string without_final_newline(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

Answer ask_tool(const std::vector<std::string>& argv) {
    auto finished = run_program(argv);
    if (!finished || (finished->exit_status != kChosen && finished->exit_status != kCancelled)) {
        return {};
    }
    std::string value = without_final_newline(finished->out);
    if (finished->exit_status != kChosen || value.empty()) {
        return {true, std::nullopt};
    }
    return {true, value};
}

Answer zenity_file(const std::string& zenity, FileDialogKind kind, const FileDialog& dialog) {
    std::vector<std::string> argv{zenity, "--file-selection", "--title=" + dialog.title};
    if (kind == FileDialogKind::save) {
        argv.insert(argv.end(), {"--save", "--confirm-overwrite"});
    }
    if (!dialog.initial_name.empty()) {
        argv.push_back("--filename=" + dialog.initial_name);
    }
    for (const FileFilter& filter : dialog.filters) {
        argv.push_back("--file-filter=" + filter.label + " | " + patterns_any_case(filter));
    }
    return ask_tool(argv);
}

Answer kdialog_file(const std::string& kdialog, FileDialogKind kind, const FileDialog& dialog) {
    std::string filters;
    for (const FileFilter& filter : dialog.filters) {
        filters += (filters.empty() ? "" : "\n") + patterns_any_case(filter) + "|" + filter.label;
    }
    return ask_tool({kdialog, "--title", dialog.title,
                     kind == FileDialogKind::save ? "--getsavefilename" : "--getopenfilename",
                     dialog.initial_name.empty() ? "." : dialog.initial_name, filters});
}

// The families fc-list knows, sorted, each once; empty without fontconfig.
std::vector<std::string> font_families() {
    std::string fc_list = find_program("fc-list");
    if (fc_list.empty()) {
        return {};
    }
    auto listed = run_program({fc_list, ":", "family"}, std::chrono::seconds(10));
    if (!listed || listed->exit_status != 0) {
        return {};
    }
    std::set<std::string> families;
    for (const std::string& line : split(listed->out, '\n')) {
        families.insert(line.substr(0, line.find(',')));  // the first of its names
    }
    return {families.begin(), families.end()};
}

Answer zenity_font(const std::string& zenity) {
    std::vector<std::string> families = font_families();
    if (families.empty()) {
        return ask_tool({zenity, "--entry", "--title=Font", "--text=Font name:"});
    }
    std::vector<std::string> argv{zenity, "--list", "--title=Font", "--column=Font",
                                  "--hide-header"};
    argv.insert(argv.end(), families.begin(), families.end());
    return ask_tool(argv);
}

Answer kdialog_font(const std::string& kdialog) {
    std::vector<std::string> families = font_families();
    if (families.empty()) {
        return ask_tool({kdialog, "--title", "Font", "--inputbox", "Font name:"});
    }
    std::vector<std::string> argv{kdialog, "--title", "Font", "--combobox", "Font name:"};
    argv.insert(argv.end(), families.begin(), families.end());
    return ask_tool(argv);
}

// The terminal stands in for the dialog: questions on standard error,
// answers from standard input, read a byte at a time so nothing past the
// line is taken from the input.
void say(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

std::optional<std::string> read_line() {
    std::string line;
    char c = 0;
    for (;;) {
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return line.empty() ? std::nullopt : std::optional(line);
        }
        if (c == '\n') {
            return line;
        }
        if (c != '\r') {
            line += c;
        }
    }
}

std::optional<std::string> ask_terminal(const std::string& question) {
    say(question);
    auto line = read_line();
    if (!line || line->empty()) {
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> terminal_file(FileDialogKind kind, const FileDialog& dialog) {
    std::string question = dialog.title + "\n";
    for (const FileFilter& filter : dialog.filters) {
        question += "  " + filter.label + " (" + filter.patterns + ")\n";
    }
    question +=
        dialog.initial_name.empty() ? "File name: " : "File name [" + dialog.initial_name + "]: ";
    for (;;) {
        say(question);
        auto line = read_line();
        if (!line) {
            return std::nullopt;
        }
        std::string path = line->empty() ? dialog.initial_name : *line;
        if (path.empty()) {
            return std::nullopt;
        }
        if (kind == FileDialogKind::open) {
            if (access(path.c_str(), F_OK) == 0) {
                return path;
            }
            say(path + " was not found.\n");
            continue;
        }
        path = with_default_extension(path, dialog);
        if (access(path.c_str(), F_OK) != 0) {
            return path;
        }
        auto replace = ask_terminal(path + " already exists. Replace it? [y/N] ");
        if (replace && (*replace == "y" || *replace == "Y")) {
            return path;
        }
    }
}

}  // namespace

std::optional<std::string> choose_file(FileDialogKind kind, const FileDialog& dialog) {
    if (display_present()) {
        Answer answer;
        if (std::string zenity = find_program("zenity"); !zenity.empty()) {
            answer = zenity_file(zenity, kind, dialog);
        } else if (std::string kdialog = find_program("kdialog"); !kdialog.empty()) {
            answer = kdialog_file(kdialog, kind, dialog);
        }
        if (answer.shown) {
            if (answer.value && kind == FileDialogKind::save) {
                return with_default_extension(*answer.value, dialog);
            }
            return answer.value;
        }
    }
    if (isatty(STDIN_FILENO)) {
        return terminal_file(kind, dialog);
    }
    return std::nullopt;
}

std::optional<std::string> choose_font() {
    if (display_present()) {
        Answer answer;
        if (std::string zenity = find_program("zenity"); !zenity.empty()) {
            answer = zenity_font(zenity);
        } else if (std::string kdialog = find_program("kdialog"); !kdialog.empty()) {
            answer = kdialog_font(kdialog);
        }
        if (answer.shown) {
            return answer.value;
        }
    }
    if (isatty(STDIN_FILENO)) {
        return ask_terminal("Font name: ");
    }
    return std::nullopt;
}

}  // namespace varkit::desktop
