// End-to-end runs of the built Plaincast and Plainpress.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/text/text_fixtures.h"

namespace varkit::testing {
namespace {

using namespace std::string_literals;
using Names = std::vector<std::string>;

// The clipboard is not the point of these runs.
const Names kNoClipboard = {"VARKIT_CLIPBOARD=none"};

ProgramResult plaincast(const Names& args) {
    return run_executable("Plaincast", args, kNoClipboard);
}
ProgramResult plainpress(const Names& args) {
    return run_executable("Plainpress", args, kNoClipboard);
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
// data. A TEXT comes back with cursor position 1: the plain-text form does
// not carry the cursor.
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
        TempDir dir;
        std::string text = dir.file("out.txt");
        std::string back = dir.file("back" + sample.substr(sample.rfind('.')));
        ProgramResult out = plaincast({sample, text});
        EXPECT_EQ(out.err, "Error: Unable to open clipboard.\nText written to " + text + ".\n");
        ProgramResult in = plainpress({back, text});
        EXPECT_EQ(in.err, "Done!\n");
        ASSERT_EQ(in.status, 0) << name;

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
        EXPECT_EQ(data, expected) << name;
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

// --utf8 text files carry every code through the character table and back;
// --ascii spells the text for ASCII-only places; a character the calculator
// lacks is refused by name and line, and nothing is written.
TEST(TextEndToEnd, Utf8AndAsciiTextFiles) {
    TempDir dir;
    std::string every_code;
    for (int code = 1; code < 256; ++code) {
        every_code += static_cast<char>(code);
    }
    struct Case {
        std::string name;
        std::string data;
        std::string utf8;  // the text file, when checked
    };
    const std::vector<Case> cases = {
        {"note.89t",
         text_data(" 5\x16x\r \x80 \x81 \x8C\r a\x9C"
                   "b\r \x88"),
         "5\u2192x\r\n\u03B1 \u03B2 \u03C0\r\na\u2264"
         "b\r\n\u03B8"},
        {"codes.89s", string_data(every_code), ""},
    };
    for (const Case& c : cases) {
        write_file(dir.file(c.name), variable_file("**TI89**", c.name.back() == 't' ? 11 : 12,
                                                   c.data, {"n", "main", "From n.txt"}));
        plaincast({dir.file(c.name), dir.file("n.txt"), "--utf8"});
        if (!c.utf8.empty()) {
            EXPECT_EQ(as_string(read_file(dir.file("n.txt"))), c.utf8);
        }
        ProgramResult in = plainpress(
            {dir.file("back.89" + c.name.substr(4)), dir.file("n.txt"), "--utf8", "/N", "n"});
        EXPECT_EQ(in.err, "Done!\n");
        EXPECT_EQ(read_file(dir.file("back.89" + c.name.substr(4))), read_file(dir.file(c.name)));
    }
    ProgramResult ascii = plaincast({dir.file("note.89t"), dir.file("a.txt"), "--ascii"});
    EXPECT_EQ(as_string(read_file(dir.file("a.txt"))), "5->x\r\nalpha beta pi\r\na<=b\r\ntheta");
    EXPECT_EQ(plaincast({dir.file("note.89t"), "--ascii", "--utf8"}).status, 2);

    write_file(dir.file("euro.txt"), "ab\ncd\nx\u20ACy");
    write_file(dir.file("old.89t"), std::string("old"));
    ProgramResult refused = plainpress({dir.file("old.89t"), dir.file("euro.txt"), "--utf8"});
    EXPECT_EQ(refused.err, "Error: \"\u20AC\" (line 3) has no calculator character.\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(as_string(read_file(dir.file("old.89t"))), "old");
    write_file(dir.file("latin1.txt"), "caf\xE9");
    EXPECT_EQ(plainpress({dir.file("old.89t"), dir.file("latin1.txt"), "--utf8"}).err,
              "Error: The byte 0xE9 (line 1) is not UTF-8.\n");
}

// The demo's examples are what Plainpress makes of the texts beside them.
TEST(TextEndToEnd, ExamplesAreMadeFromTheirTexts) {
    TempDir dir;
    const std::string examples = VARKIT_EXAMPLES_DIR;
    for (const std::string name : {"notes.89t", "greeting.9xs"}) {
        std::string text = examples + "/" + name.substr(0, name.find('.')) + ".txt";
        ProgramResult in = plainpress({dir.file(name), text});
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
