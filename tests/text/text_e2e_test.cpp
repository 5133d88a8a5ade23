// End-to-end runs of the built Plaincast and Plainpress.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "tests/support/program_run.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

// The clipboard is not the point of these runs. They run in the C locale,
// where text files hold the calculator's bytes, unless they name a UTF-8 one.
const std::string kUtf8Locale = "LC_ALL=C.UTF-8";

// Text files are Unicode by default in a UTF-8 locale, but on Windows.
bool unicode_by_default() {
    return !programs_run_through_wine();
}

// A Unicode text file's lines end as the system's text files do: CR LF on
// Windows.
std::string system_line_ends(const std::string& text) {
    std::string ended;
    for (char c : text) {
        ended += c == '\n' && programs_run_through_wine() ? "\r\n" : std::string(1, c);
    }
    return ended;
}

ProgramResult plaincast(const Names& args, const std::string& locale = "LC_ALL=C") {
    return run_executable("Plaincast", args, {"VARKIT_CLIPBOARD=none", locale});
}
ProgramResult plainpress(const Names& args, const std::string& locale = "LC_ALL=C") {
    return run_executable("Plainpress", args, {"VARKIT_CLIPBOARD=none", locale});
}

// The file is sound: n + 90 bytes, a checksum over the length field and data.
void expect_sound_variable(const Bytes& file) {
    ASSERT_GE(file.size(), 90u);
    std::size_t length = file[86] << 8 | file[87];
    EXPECT_EQ(file.size(), length + 90);
    unsigned sum = 0;
    for (std::size_t i = 86; i < file.size() - 2; ++i) {
        sum += file[i];
    }
    EXPECT_EQ(file[file.size() - 2] | file[file.size() - 1] << 8, static_cast<int>(sum & 0xFFFF));
}

// Every TEXT and STR sample goes out to a text file and back in to the same
// data, as the calculator's bytes in the C locale and as a Unicode text file
// (LF line ends, the last line ended too) in a UTF-8 locale. A TEXT comes back
// with cursor position 1: the plain-text form does not carry the cursor.
TEST(TextEndToEnd, SamplesRoundTrip) {
    int tried = 0;
    for (const char* name :
         {"written-by-libtifiles/txt.89t", "written-by-libtifiles/group.txt.92t",
          "written-by-libtifiles/str.89s", "written-by-libtifiles/group.str.92s",
          "calculator/str.89s", "calculator/str.92s", "calculator/xx.92s", "calculator/yy.92s"}) {
        std::string sample = sample_path(name);
        if (sample.empty()) {
            continue;
        }
        ++tried;
        for (const std::string locale : {"LC_ALL=C", "LC_ALL=C.UTF-8"}) {
            TempDir dir;
            std::string text = dir.file("out.txt");
            std::string back = dir.file("back" + sample.substr(sample.rfind('.')));
            ProgramResult out = plaincast({sample, text}, locale);
            EXPECT_EQ(out.err, "Error: Unable to open clipboard.\nText written to " + text + ".\n");
            std::string written = as_string(read_file(text));
            if (locale == kUtf8Locale && unicode_by_default()) {
                EXPECT_TRUE(utf32_from_utf8(written)) << name;
                EXPECT_EQ(written.find('\r'), std::string::npos) << name;
                EXPECT_EQ(written.back(), '\n') << name;
            }
            ProgramResult in = plainpress({back, text}, locale);
            EXPECT_EQ(in.err, "Done!\n");
            ASSERT_EQ(in.status, 0) << name << locale;

            Bytes original = read_file(sample);
            Bytes copy = read_file(back);
            expect_sound_variable(copy);
            EXPECT_TRUE(std::equal(copy.begin(), copy.begin() + 8, original.begin())) << name;
            EXPECT_EQ(copy[72], original[72]) << name;
            std::string data = data_of(copy);
            std::string expected = data_of(original);
            if (original[72] == 11) {
                expected.replace(0, 2, "\x00\x01"s);
            }
            EXPECT_EQ(data, expected) << name << locale;
        }
    }
    if (tried == 0) {
        GTEST_SKIP() << "no samples in ../shared/samples";
    }
}

TEST(TextEndToEnd, ByteExactOutputs) {
    TempDir dir;
    write_file(dir.file("notes.txt"), "line1\r\nC:run\r\nB:\\\\12\xE9\r\n");
    ProgramResult in = plainpress({dir.file("notes.89t"), dir.file("notes.txt"), "/F", "docs"});
    EXPECT_EQ(in.status, 0) << in.err;
    EXPECT_EQ(in.out, "");
    Bytes expected = variable_file("**TI89**", 11, text_data(" line1\rCrun\r\x0C\x0C\xE9\r "),
                                   {"notes", "docs", "From notes.txt"});
    EXPECT_EQ(read_file(dir.file("notes.89t")), expected);

    // Without a clipboard /S shows nothing but the closing empty line.
    ProgramResult out = plaincast({dir.file("notes.89t"), "/S", dir.file("back.txt")});
    EXPECT_EQ(out.out, "\n");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(read_file(dir.file("back.txt")), read_file(dir.file("notes.txt")));
}

// Unicode text files, the default in a UTF-8 locale and --utf8 in any, carry
// every code through the character table and back, with LF line ends and the
// last line ended too; --bytes keeps the calculator's bytes in any locale;
// --ascii spells the text for ASCII-only places.
TEST(TextEndToEnd, Utf8AndAsciiTextFiles) {
    TempDir dir;
    std::string every_code;
    for (int code = 1; code < 256; ++code) {
        every_code += static_cast<char>(code);
    }
    // Every line of a TEXT opens with its line-start byte.
    std::string every_code_lines = " " + every_code;
    every_code_lines.insert(every_code_lines.find('\r') + 1, " ");
    const std::string note = text_data(
        " 5\x16x\r \x80 \x81 \x8C\r a\x9C"
        "b\r \x88\x9A");
    const std::string unicode_note =
        "5\u2192x\n\u03B1 \u03B2 \u03C0\na\u2264"
        "b\n\u03B8x\u0305\n";
    struct Case {
        std::string name;  // its last letter gives the type
        std::string data;
        Names options;  // of both programs
        std::string locale;
        std::string text;  // the text file, when checked
    };
    const std::vector<Case> cases = {
        {"note.89t", note, {}, kUtf8Locale, unicode_note},
        {"note.89t", note, {"--utf8"}, "LC_ALL=C", system_line_ends(unicode_note)},
        {"note.89t",
         note,
         {"--bytes"},
         kUtf8Locale,
         "5\\\\22x\r\n\x80 \x81 \x8C\r\na\x9C"
         "b\r\n\x88\x9A"},
        {"last.89t", text_data(" a\r "), {}, kUtf8Locale, "a\n\n"},
        // Only a Unicode text file carries an empty TEXT: as bytes it is an
        // empty file, which makes no variable.
        {"empty.89t", text_data(" "), {"--utf8"}, "LC_ALL=C", system_line_ends("\n")},
        {"codes.89s", string_data(every_code), {}, kUtf8Locale, ""},
        {"codes.89t", text_data(every_code_lines), {}, kUtf8Locale, ""},
    };
    for (const Case& c : cases) {
        write_file(dir.file(c.name), variable_file("**TI89**", c.name.back() == 't' ? 11 : 12,
                                                   c.data, {"n", "main", "From n.txt"}));
        Names out{dir.file(c.name), dir.file("n.txt")};
        out.insert(out.end(), c.options.begin(), c.options.end());
        plaincast(out, c.locale);
        if (!c.text.empty() && (unicode_by_default() || !c.options.empty())) {
            EXPECT_EQ(as_string(read_file(dir.file("n.txt"))), c.text) << c.name << c.locale;
        }
        std::string back = dir.file("back" + c.name.substr(c.name.find('.')));
        Names in{back, dir.file("n.txt"), "/N", "n"};
        in.insert(in.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(plainpress(in, c.locale).err, "Done!\n");
        EXPECT_EQ(read_file(back), read_file(dir.file(c.name))) << c.name << c.locale;
    }
    ProgramResult ascii = plaincast({dir.file("note.89t"), dir.file("a.txt"), "--ascii"});
    EXPECT_EQ(as_string(read_file(dir.file("a.txt"))),
              "5->x\r\nalpha beta pi\r\na<=b\r\ntheta xbar");
    EXPECT_EQ(plaincast({dir.file("note.89t"), "--ascii", "--utf8"}).status, 2);
    ProgramResult both = plainpress({dir.file("note.89t"), "--bytes", "--utf8"});
    EXPECT_EQ(both.err.substr(0, both.err.find('\n')),
              "Error: --bytes and --utf8 cannot be used together.");
    EXPECT_EQ(both.status, 2);
}

// A Unicode text file (the default in a UTF-8 locale, --utf8 on Windows)
// with characters the calculator lacks: every one named with its line in one
// run (twenty, then a count), nothing written; --approximate stores the
// nearest ones. A file that is not UTF-8 is read as the calculator's bytes.
TEST(TextEndToEnd, CharactersTheCalculatorLacks) {
    TempDir dir;
    write_file(dir.file("old.89t"), std::string("old"));
    struct Case {
        std::string text;
        Names options;
        std::string err;
        std::string data;  // the variable's, when one is written
    };
    const std::string lacking = "\u201Cquoted\u201D \u2013 text";
    std::string euros = "\n";
    std::string named;
    for (int i = 0; i < 25; ++i) {
        euros += "\u20AC";
        named += i < 20 ? "Error: \"\u20AC\" (line 2) has no calculator character.\n" : "";
    }
    const std::vector<Case> cases = {
        {"ab\nx\u20ACy\n" + lacking + "\u2019s\n",
         {},
         "Error: \"\u20AC\" (line 2) has no calculator character.\n"
         "Error: \"\u201C\" (line 3) has no calculator character.\n"
         "Error: \"\u201D\" (line 3) has no calculator character.\n"
         "Error: \"\u2013\" (line 3) has no calculator character.\n"
         "Error: \"\u2019\" (line 3) has no calculator character.\n",
         ""},
        {euros, {}, named + "Error: 5 more characters have no calculator character.\n", ""},
        {lacking,
         {"--approximate"},
         "Note: 3 characters were stored as the nearest calculator characters.\nDone!\n",
         " \"quoted\" - text"},
        {"caf\xE9",
         {},
         "Note: " + dir.file("in.txt") +
             " is not UTF-8; its bytes are read as calculator characters.\nDone!\n",
         " caf\xE9"},
    };
    for (const Case& c : cases) {
        write_file(dir.file("in.txt"), c.text);
        Names args{dir.file("old.89t"), dir.file("in.txt"), "/N", "n"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (!unicode_by_default()) {
            args.push_back("--utf8");
        }
        ProgramResult result = plainpress(args, kUtf8Locale);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.status, c.data.empty() ? 1 : 0) << c.text;
        EXPECT_EQ(as_string(read_file(dir.file("old.89t"))),
                  c.data.empty() ? "old"
                                 : as_string(variable_file("**TI89**", 11, text_data(c.data),
                                                           {"n", "main", "From in.txt"})));
        write_file(dir.file("old.89t"), std::string("old"));
    }
}

// The demo's examples are what Plainpress makes of the texts beside them.
TEST(TextEndToEnd, ExamplesAreMadeFromTheirTexts) {
    TempDir dir;
    const std::string examples = VARKIT_EXAMPLES_DIR;
    for (const std::string name : {"notes.89t", "greeting.9xs"}) {
        std::string text = examples + "/" + name.substr(0, name.find('.')) + ".txt";
        ProgramResult in = plainpress({dir.file(name), text, "--bytes"}, kUtf8Locale);
        ASSERT_EQ(in.status, 0) << in.err;
        EXPECT_EQ(read_file(dir.file(name)), read_file(examples + "/" + name)) << name;
    }
}

TEST(TextEndToEnd, BadInput) {
    TempDir dir;
    // Binary junk is taken as text up to its first zero byte, into a sound file.
    std::mt19937 random(4);
    std::string junk;
    for (int i = 0; i < 5000; ++i) {
        junk += static_cast<char>(1 + random() % 255);
    }
    write_file(dir.file("junk.bin"), junk + '\0' + junk);
    EXPECT_EQ(plainpress({dir.file("junk.89t"), dir.file("junk.bin")}).status, 0);
    expect_sound_variable(read_file(dir.file("junk.89t")));
    EXPECT_EQ(plaincast({dir.file("junk.89t"), dir.file("junk.txt")}).status, 1);
    EXPECT_GT(read_file(dir.file("junk.txt")).size(), 4000u);

    // Lines of nothing but 0x0D: one empty Plain line each.
    write_file(dir.file("cr.txt"), "\r\r\r");
    EXPECT_EQ(plainpress({dir.file("cr.89t"), dir.file("cr.txt")}).status, 0);
    EXPECT_EQ(data_of(read_file(dir.file("cr.89t"))), text_data(" \r \r \r "));
    plaincast({dir.file("cr.89t"), dir.file("cr-back.txt")});
    EXPECT_EQ(as_string(read_file(dir.file("cr-back.txt"))), "\r\n\r\n\r\n");

    // An empty text file and a 1 MiB text make no file at all.
    write_file(dir.file("empty.txt"), "");
    ProgramResult empty = plainpress({dir.file("empty.89t"), dir.file("empty.txt")});
    EXPECT_EQ(empty.err, "Error: No text in " + dir.file("empty.txt") + ".\n");
    EXPECT_EQ(empty.status, 1);
    write_file(dir.file("big.txt"), std::string(1 << 20, 'x'));
    ProgramResult big = plainpress({dir.file("big.92s"), dir.file("big.txt")});
    EXPECT_EQ(big.err, "Error: Text too long: a STR holds at most 65532 bytes.\n");
    EXPECT_EQ(big.status, 1);
    for (const char* made : {"empty.89t", "big.92s"}) {
        EXPECT_FALSE(std::filesystem::exists(dir.file(made))) << made;
    }

    // Spaces and quotes in names; the variable name is cut at 8 characters.
    // Windows file names hold no double quotes.
    const std::string quote = programs_run_through_wine() ? "'" : "\"";
    const std::string odd_name = "a " + quote + "b" + quote + " c.txt";
    const std::string odd_variable = "it's " + quote + "my" + quote + " notes.89t";
    std::string odd_text = dir.file(odd_name);
    write_file(odd_text, "odd");
    EXPECT_EQ(plainpress({dir.file(odd_variable), odd_text}).status, 0);
    EXPECT_EQ(read_file(dir.file(odd_variable)),
              variable_file("**TI89**", 11, text_data(" odd"),
                            {odd_variable.substr(0, 8), "main", "From " + odd_name}));

    // A folder that does not exist, for either program.
    std::string nowhere = dir.file("nowhere/x.89t");
    ProgramResult in = plainpress({nowhere, odd_text});
    EXPECT_EQ(in.err, "Can't open " + nowhere + ".\n");
    EXPECT_EQ(in.status, 1);
    ProgramResult out = plaincast({dir.file("cr.89t"), dir.file("nowhere/x.txt")});
    EXPECT_EQ(out.err, "Error: Unable to open clipboard.\nCan't create " +
                           dir.file("nowhere/x.txt") + ", use clipboard.\n");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(list_dir(dir.path().string()),
              (Names{odd_name, "big.txt", "cr-back.txt", "cr.89t", "cr.txt", "empty.txt",
                     odd_variable, "junk.89t", "junk.bin", "junk.txt"}))
        << "no temporary file is left behind";
}

}  // namespace
}  // namespace varkit::testing
