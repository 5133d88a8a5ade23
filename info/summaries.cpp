#include "info/summaries.h"

#include <array>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

// ---- Pictures --------------------------------------------------------------

void print_picture_summary(std::FILE* file, std::FILE* out) {
    Dimensions size;
    vf_read_dimensions(&size, file);
    std::fprintf(out, "Rows:        %d\n", size.rows);
    std::fprintf(out, "Columns:     %d\n", size.columns);
}

// ---- Lists, matrices and data ----------------------------------------------
//
// Expressions are stored in postfix order: each item's tag byte follows the
// item, so lists are measured by walking the data from its end towards its
// start. A list is D9 (its start tag, read last-first) ... items ... E5.

constexpr int kListStart = 0xD9;
constexpr int kListEnd = 0xE5;

// Everything from offset 88 to the end of the file: the data and, as its last
// two bytes, the checksum. No data block is longer than 65535 bytes.
std::vector<std::uint8_t> read_data_and_checksum(std::FILE* file) {
    constexpr std::size_t kMost = 65535 + 2;
    std::vector<std::uint8_t> bytes(kMost);
    std::size_t count = 0;
    if (vf_seek(kDataOffset, file) == 0) {
        count = std::fread(bytes.data(), 1, kMost, file);
    }
    bytes.resize(count);
    return bytes;
}

// Walks one variable's lists backwards. Every read is bounds-checked: a
// position before the first byte reads as "no byte" (-1), and an item that
// would run off the front makes the walk give up like an unknown tag.
class ListWalk {
  public:
    ListWalk(const std::vector<std::uint8_t>& data, long start) : data_(data), p_(start) {}

    int byte_at(long position) const {
        if (position < 0 || position >= static_cast<long>(data_.size())) {
            return -1;
        }
        return data_[static_cast<std::size_t>(position)];
    }
    int current() const { return byte_at(p_); }
    void back(long count) { p_ -= count; }

    // Moves over the item whose tag stands at the current position; false
    // when the item cannot be measured.
    bool skip_item() {
        int tag = current();
        if (tag == 0x00) {
            back(1);
            return skip_past_zero();
        }
        if (tag >= 0x01 && tag <= 0x1B) {
            back(1);
            return true;
        }
        if (tag == 0x1F || tag == 0x20) {
            return skip_integer();
        }
        if (tag == 0x21 || tag == 0x22) {
            // Two integers: the second's length byte is where the first ends.
            if (!skip_integer()) {
                return false;
            }
            int length = current();
            if (length < 0) {
                return false;
            }
            back(length + 1);
            return true;
        }
        if (tag == 0x23) {
            back(10);  // 9 bytes of floating-point number and the tag
            return true;
        }
        if (tag == 0x2D) {
            back(2);  // the tag and the string's closing zero
            return skip_past_zero();
        }
        return false;
    }

    int lists = 0;
    int items_in_list = 0;
    int items = 0;
    bool stopped = false;

  private:
    // An integer: L bytes, the length byte L, the tag.
    bool skip_integer() {
        int length = byte_at(p_ - 1);
        if (length < 0) {
            return false;
        }
        back(length + 2);
        return true;
    }

    // Moves back one byte at a time until the byte just passed was a zero.
    bool skip_past_zero() {
        for (;;) {
            int passed = current();
            if (passed < 0) {
                return false;
            }
            back(1);
            if (passed == 0) {
                return true;
            }
        }
    }

    const std::vector<std::uint8_t>& data_;
    long p_;
};

void print_oops(std::FILE* err) {
    std::fputs("Oops!:       Can't handle expressions yet.\n", err);
}

// Walks the items of the list whose start tag was just passed, up to its end
// tag. Returns false when an item could not be measured.
bool walk_list_items(ListWalk& walk) {
    while (walk.current() != kListEnd) {
        if (walk.current() < 0) {
            return false;  // the list never ends: malformed data
        }
        ++walk.items_in_list;
        ++walk.items;
        if (!walk.skip_item()) {
            return false;
        }
    }
    return true;
}

void print_list_summary(std::uint8_t type_code, std::FILE* file, std::FILE* out, std::FILE* err) {
    std::vector<std::uint8_t> data = read_data_and_checksum(file);
    long last = static_cast<long>(data.size()) - 3;  // the last data byte
    // A data variable ends with three bytes that belong to no column.
    ListWalk walk(data, type_code == kTypeData ? last - 3 : last);

    int column_count = 0;
    if (type_code == kTypeData) {
        column_count = walk.byte_at(1) < 0 ? 0 : walk.byte_at(1);
        std::fprintf(out, "Columns:     %d\n", column_count);
    }
    bool walkable = true;
    if (type_code == kTypeMatrix) {
        // A matrix is a list of rows: its outer list's start tag comes first.
        walkable = walk.current() == kListStart;
        walk.back(1);
    }
    while (walkable && !walk.stopped && walk.current() == kListStart) {
        walk.back(1);
        walk.items_in_list = 0;
        if (!walk_list_items(walk)) {
            print_oops(err);
            walk.stopped = true;
        }
        if (type_code == kTypeData) {
            // Each column's list is preceded by three bytes of its own.
            walk.back(3);
            std::fprintf(out, "Column %2d:   %d row%s\n", column_count - walk.lists,
                         walk.items_in_list, walk.items_in_list == 1 ? "" : "s");
        }
        walk.back(1);  // over the end tag
        ++walk.lists;
    }
    if (walk.stopped) {
        return;
    }
    if (type_code == kTypeMatrix) {
        std::fprintf(out, "Rows:        %d\n", walk.lists);
        std::fprintf(out, "Columns:     %d\n", walk.items_in_list);
    }
    std::fprintf(out, "Elements:    %d\n", walk.items);
}

// ---- Texts -----------------------------------------------------------------

void print_text_summary(std::FILE* file, std::FILE* out) {
    std::uint8_t cursor[2] = {};
    if (vf_seek(kDataOffset, file) == 0) {
        if (std::fread(cursor, 1, 2, file) != 2) {
            cursor[0] = cursor[1] = 0;
        }
    }
    std::fprintf(out, "Cursor pos:  %d\n", read_be16(cursor));

    // Each line after the first opens with its line-start byte just after the
    // carriage return that ends the line before it; that byte is never taken
    // for a carriage return or the end tag itself. The text is read a block at
    // a time, up to the end tag 0xE0 or the end of the file.
    int line_breaks = 0, commands = 0, print_objects = 0, page_breaks = 0;
    bool line_start_next = false;
    std::array<std::uint8_t, 4096> block;
    for (bool ended = false; !ended;) {
        std::size_t got = std::fread(block.data(), 1, block.size(), file);
        ended = got == 0;
        for (std::size_t i = 0; i < got && !ended; ++i) {
            std::uint8_t c = block[i];
            if (!line_start_next) {
                ended = c == 0xE0;
                line_start_next = c == 0x0D;
                continue;
            }
            line_start_next = false;
            page_breaks += c == 0x0C;
            line_breaks += c == ' ';
            commands += c == 'C';
            print_objects += c == 'P';
        }
    }
    if (line_breaks != 0)
        std::fprintf(out, "Line breaks: %d\n", line_breaks);
    if (commands != 0)
        std::fprintf(out, "Commands:    %d\n", commands);
    if (print_objects != 0)
        std::fprintf(out, "Print obj:   %d\n", print_objects);
    if (page_breaks != 0)
        std::fprintf(out, "Page breaks: %d\n", page_breaks);
}

// ---- Programs and functions ------------------------------------------------

constexpr std::uint8_t kFlagPlot = 0x40;
constexpr std::uint8_t kFlagUnknown = 0x10;
constexpr std::uint8_t kFlagNotTokenized = 0x08;

// A byte at a distance from the end of the file; 0 when there is none.
int byte_from_end(std::FILE* file, long distance) {
    if (vf_seek_from(-distance, SEEK_END, file) != 0) {
        return 0;
    }
    int c = std::fgetc(file);
    return c == EOF ? 0 : c;
}

void print_program_summary(std::uint8_t type_code, std::FILE* file, std::FILE* out) {
    static constexpr const char* kGraphStyles[8] = {"Line", "Dot",   "Thick", "Animate",
                                                    "Path", "Above", "Below", "Square"};
    // The flag byte stands just before the data's final tag byte.
    int flags = byte_from_end(file, 4);
    if (type_code == kTypeFunction) {
        std::fprintf(out, "Style:       %s\n", kGraphStyles[flags & 7]);
        std::fprintf(out, "Plot:        %s\n", (flags & kFlagPlot) ? "Yes" : "No");
    }
    std::fprintf(out, "Tokenized:   %s\n", (flags & kFlagNotTokenized) ? "No" : "Yes");
    if (flags & kFlagNotTokenized) {
        int cursor = (byte_from_end(file, 11) << 8) | byte_from_end(file, 10);
        std::fprintf(out, "Cursor pos:  %d\n", cursor);
    }
    std::fprintf(out, "Flag bit 4?: %s (unknown purpose)\n", (flags & kFlagUnknown) ? "On" : "Off");
}

// ---- Macros ----------------------------------------------------------------

// Reads up to and including a zero byte, or to the end of the file; keeps at
// most 39 characters of what it passes.
std::string read_zero_terminated(std::FILE* file) {
    std::string name;
    for (int c = std::fgetc(file); c != EOF && c != 0; c = std::fgetc(file)) {
        if (name.size() < 39) {
            name.push_back(static_cast<char>(c));
        }
    }
    return name;
}

void print_macro_summary(std::FILE* file, std::FILE* out) {
    std::string macro_name, object_name;
    if (vf_seek(kDataOffset, file) == 0) {
        macro_name = read_zero_terminated(file);
        object_name = read_zero_terminated(file);
    }
    std::fprintf(out, "Macro name:  %s\n", shown_field(macro_name, out).c_str());
    std::fprintf(out, "Object name: %s\n", shown_field(object_name, out).c_str());
}

}  // namespace

const char* status_word(std::uint8_t attribute) {
    switch (attribute) {
        case kAttributeUnlocked:
            return "Unlocked";
        case kAttributeLocked:
            return "Locked";
        case kAttributeArchived:
            return "Archived";
        default:
            return "Unknown";
    }
}

std::string shown_field(std::string_view field, std::FILE* out) {
    if (!is_terminal(out)) {
        return std::string(field);
    }
    // A UTF-8 terminal shows the calculator's characters; any other shows
    // the bytes. Either way no C0 or C1 control reaches it.
    const bool utf8 = console_uses_utf8();
    std::string shown;
    for (char c : field) {
        const auto code = static_cast<std::uint8_t>(c);
        const char32_t character = utf8 && code != 0 ? unicode_of(code).front() : code;
        if ((character < 0x20 && character != '\t') || (character >= 0x7F && character < 0xA0)) {
            shown += '?';
        } else if (utf8) {
            for (char32_t spelt : unicode_of(code)) {
                append_utf8(shown, spelt);
            }
        } else {
            shown += c;
        }
    }
    return shown;
}

void print_contents_summary(std::uint8_t type_code, std::FILE* file, std::FILE* out,
                            std::FILE* err) {
    switch (type_code) {
        case kTypePicture:
            print_picture_summary(file, out);
            break;
        case kTypeList:
        case kTypeMatrix:
        case kTypeData:
            print_list_summary(type_code, file, out, err);
            break;
        case kTypeText:
            print_text_summary(file, out);
            break;
        case kTypeProgram:
        case kTypeFunction:
            print_program_summary(type_code, file, out);
            break;
        case kTypeMacro:
            print_macro_summary(file, out);
            break;
        default:
            break;
    }
}

}  // namespace varkit
