// Varlook run in-process on files the tests build: every line it prints,
// byte for byte, and what it leaves in the file.
#include "info/varlook.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"
#include "tests/support/program_run.h"
#include "tests/support/test_files.h"
#include "tests/support/variable_files.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::ProgramResult;
using testing::VariableFileSpec;

const char kUsage[] =
    "Varlook v0.2\n"
    "Displays file information and writes a new name, folder, and description to a\n"
    "TI[89,92,92+] file, will also verify checksum and optionally fix it (use with\n"
    "caution).\n"
    "\n"
    "Varlook  TIfile [/N name] [/F folder] [/C \"quoted text\"] [/X]\n"
    "\n"
    "  /N     New file name. This is the file name used in the calculator.\n"
    "          Maximum size= 8 characters.\n"
    "  /F     New folder name. Maximum size= 8 characters.\n"
    "  /C     New comment. If the comment is more than one word it must be enclosed\n"
    "          in quotes. Maximum size= 40 characters.\n"
    "  /X     Correct the checksum if it is in error.\n"
    "\n"
    "A future version will include more complete information on MAT files.\n";

class VarlookTest : public ::testing::Test {
  protected:
    std::string put(const Bytes& bytes, const std::string& name = "var.89t") {
        std::string path = dir.file(name);
        testing::write_file(path, bytes);
        return path;
    }
    std::string put(const VariableFileSpec& spec, const std::string& name = "var.89t") {
        return put(testing::make_variable_file(spec), name);
    }
    ProgramResult run(const std::vector<std::string>& args) {
        testing::FakePlatform platform;
        ProgramResult result = testing::run_in_process(varlook_main, args, platform);
        EXPECT_TRUE(platform.calls.empty()) << "Varlook never uses the desktop";
        return result;
    }
    // The header lines of a TI-89 file named "var" in folder "main".
    static std::string header_lines(const std::string& type, std::size_t data_length,
                                    const std::string& status = "Unlocked") {
        return "Calculator:  **TI89**\nFilename:    var\nFolder:      main\nComment:     note\n"
               "Type:        " +
               type + "\nStatus:      " + status +
               "\nFilesize:    " + std::to_string(data_length + 90) +
               "\nData length: " + std::to_string(data_length) + "\n";
    }
    static VariableFileSpec spec_of(std::uint8_t type, Bytes data) {
        VariableFileSpec spec;
        spec.comment = "note";
        spec.type_code = type;
        spec.data = std::move(data);
        return spec;
    }
    // The summary lines alone: what comes after the header and before the
    // checksum line.
    std::string summary_of(std::uint8_t type, Bytes data, std::string* err = nullptr) {
        VariableFileSpec spec = spec_of(type, std::move(data));
        ProgramResult result = run({put(spec)});
        std::string out = result.out;
        std::size_t start = out.find("Data length:");
        start = out.find('\n', start) + 1;
        std::size_t end = out.find("Checksum:");
        if (err != nullptr) {
            *err = result.err;
        }
        return out.substr(start, end - start);
    }

    testing::TempDir dir;
};

TEST_F(VarlookTest, SoundTextFile) {
    // Cursor 1; lines " one", "Ctwo", "Pthree", page break "four".
    Bytes data = {0x00, 0x01, ' ', 'o', 'n', 'e',  0x0D, 'C', 't', 'w', 'o', 0x0D, 'P',
                  't',  'h',  'r', 'e', 'e', 0x0D, 0x0C, 'f', 'o', 'u', 'r', 0x00, 0xE0};
    VariableFileSpec spec = spec_of(11, data);
    ProgramResult result = run({put(spec)});
    std::uint16_t sum = testing::expected_checksum(data);
    char checksum[64];
    std::snprintf(checksum, sizeof checksum, "Checksum:    %X (verified)\n", sum);
    EXPECT_EQ(result.out, header_lines("TEXT", data.size()) +
                              "Cursor pos:  1\nCommands:    1\nPrint obj:   1\nPage breaks: 1\n" +
                              checksum + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

TEST_F(VarlookTest, ChecksumErrorRepairAndVerify) {
    Bytes file = testing::make_variable_file(spec_of(12, {0x00, 'h', 'i', 0x00, 0x2D}));
    std::uint16_t good =
        static_cast<std::uint16_t>(file[file.size() - 2] | file[file.size() - 1] << 8);
    file[file.size() - 2] = 0xFF;
    file[file.size() - 1] = 0x00;
    std::string path = put(file, "s.89s");
    char line[128];

    ProgramResult broken = run({path});
    std::snprintf(line, sizeof line,
                  "Checksum:    FFh (Checksum error, should be %Xh. Use /X to fix.)\n\n", good);
    EXPECT_EQ(broken.out.substr(broken.out.find("Checksum:")), line);
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(testing::read_file(path), file) << "nothing changes without /X";

    ProgramResult fixed = run({"-x", path});
    std::snprintf(line, sizeof line, "Checksum:    %Xh (was FFh)\n\n", good);
    EXPECT_EQ(fixed.out.substr(fixed.out.find("Checksum:")), line);
    EXPECT_EQ(fixed.status, 0);
    Bytes repaired = testing::read_file(path);
    file[file.size() - 2] = static_cast<std::uint8_t>(good);
    file[file.size() - 1] = static_cast<std::uint8_t>(good >> 8);
    EXPECT_EQ(repaired, file) << "only the two checksum bytes change";

    ProgramResult verified = run({path});
    std::snprintf(line, sizeof line, "Checksum:    %X (verified)\n\n", good);
    EXPECT_EQ(verified.out.substr(verified.out.find("Checksum:")), line);
}

TEST_F(VarlookTest, ChecksumIsPrintedWithoutLeadingZeros) {
    // Length 3 plus the data 0 + 'x'(120) + ... chosen to sum to 255.
    Bytes data = {0x00, 0x7F, 0x7D};
    ASSERT_EQ(testing::expected_checksum(data), 255);
    ProgramResult result = run({put(spec_of(0, data))});
    EXPECT_NE(result.out.find("Checksum:    FF (verified)\n"), std::string::npos) << result.out;
}

TEST_F(VarlookTest, AcceptsBySignatureOrFormatWord) {
    VariableFileSpec spec = spec_of(12, {0x00, 0x00, 0x2D});
    spec.signature = "**TI83**";
    Bytes file = testing::make_variable_file(spec);
    EXPECT_EQ(run({put(file)}).status, 0) << "format word 1 is enough";

    file[8] = 2;
    ProgramResult refused = run({put(file)});
    EXPECT_EQ(refused.out, "Error: File type not supported.\n");
    EXPECT_EQ(refused.status, 1);

    spec.signature = "**TI92P*";
    file = testing::make_variable_file(spec);
    file[8] = 7;
    EXPECT_EQ(run({put(file)}).status, 0) << "a TI-92 Plus signature is enough";
}

TEST_F(VarlookTest, RenamesInPlaceAndKeepsTheChecksumValid) {
    VariableFileSpec spec = spec_of(12, {0x00, 'a', 0x00, 0x2D});
    spec.name = "oldname1";
    spec.folder = "oldfoldr";
    Bytes before = testing::make_variable_file(spec);
    std::string path = put(before);

    ProgramResult result = run({path, "/N", "new", "/f", "work", "/C", "a b c", "/l"});
    std::string expected =
        "lockset\nCalculator:  **TI89**\nFilename:    new\nFolder:      work\n"
        "Comment:     a b c\nType:        STR\nStatus:      Locked\n";
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    EXPECT_NE(result.out.find("(verified)"), std::string::npos);
    EXPECT_EQ(result.status, 0);

    Bytes after = testing::read_file(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(std::string(after.begin() + 64, after.begin() + 72), std::string("new\0\0\0\0\0", 8));
    EXPECT_EQ(std::string(after.begin() + 10, after.begin() + 18), std::string("work\0\0\0\0", 8));
    EXPECT_EQ(after[73], 1);
    // Everything but the four rewritten fields stays as it was.
    for (std::size_t i = 0; i < after.size(); ++i) {
        bool rewritten = (i >= 10 && i < 58) || (i >= 64 && i < 72) || i == 73;
        if (!rewritten) {
            EXPECT_EQ(after[i], before[i]) << "offset " << i;
        }
    }
}

TEST_F(VarlookTest, RejectedNamesAreReportedAndTheRunGoesOn) {
    std::string path = put(spec_of(12, {0x00, 0x00, 0x2D}));
    ProgramResult result = run({path, "/N", "9lives", "/A"});
    EXPECT_EQ(result.out.substr(0, 29), "Not a valid filename: 9lives\n");
    EXPECT_NE(result.out.find("Filename:    var\n"), std::string::npos);
    EXPECT_NE(result.out.find("Status:      Archived\n"), std::string::npos);
    EXPECT_EQ(result.status, 1);
}

TEST_F(VarlookTest, GroupFilesShowFourLinesAndKeepTheirAttribute) {
    VariableFileSpec spec = spec_of(31, Bytes(20, 0x11));
    spec.name = "group";
    Bytes before = testing::make_variable_file(spec);
    std::string path = put(before, "g.89g");
    ProgramResult result = run({path, "/L"});
    EXPECT_EQ(
        result.out,
        "Calculator:  **TI89**\nFilename:    group\nFolder:      main\nComment:     note\n\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(testing::read_file(path), before);
}

TEST_F(VarlookTest, StatusWordsAndUnknownTypes) {
    VariableFileSpec spec = spec_of(139, {0x00, 0x00, 0xE0});
    spec.attribute = 7;
    ProgramResult result = run({put(spec)});
    EXPECT_NE(result.out.find("Type:        ?\nStatus:      Unknown\n"), std::string::npos)
        << result.out;
    spec.type_code = 255;
    spec.attribute = 3;
    result = run({put(spec)});
    EXPECT_NE(result.out.find("Type:        ?\nStatus:      Archived\n"), std::string::npos);
}

TEST_F(VarlookTest, CommandLineMistakesShowTheUsage) {
    ProgramResult none = run({});
    EXPECT_EQ(none.out, kUsage);
    EXPECT_EQ(none.status, 2);

    ProgramResult help = run({"/?"});
    EXPECT_EQ(help.out, kUsage);
    EXPECT_EQ(help.status, 0);

    std::string path = put(spec_of(12, {0x00, 0x00, 0x2D}));
    for (auto args : std::vector<std::vector<std::string>>{
             {path, "/Z"}, {path, "/"}, {path, path}, {path, ""}, {path, "/N"}, {"/1", path}}) {
        ProgramResult bad = run(args);
        EXPECT_EQ(bad.out, kUsage) << args.back();
        EXPECT_EQ(bad.status, 2);
    }
    // An empty argument before the file name is skipped.
    EXPECT_EQ(run({"", path}).status, 0);
}

TEST_F(VarlookTest, FilesThatCannotBeOpened) {
    ProgramResult no_name = run({"/X"});
    EXPECT_EQ(no_name.out, "Error: Can't open .\n");
    EXPECT_EQ(no_name.status, 1);

    std::string missing = dir.file("missing.89t");
    EXPECT_EQ(run({missing}).out, "Error: Can't open " + missing + ".\n");
    EXPECT_EQ(run({dir.path().string()}).out, "Error: Can't open " + dir.path().string() + ".\n");
}

TEST_F(VarlookTest, PictureSize) {
    Bytes data = {0x00, 0x40, 0x00, 0xF0};
    data.resize(4 + 64 * 30, 0);
    data.push_back(0xDF);
    EXPECT_EQ(summary_of(16, data), "Rows:        64\nColumns:     240\n");
}

// A floating-point number: 9 bytes and its tag.
void push_float(Bytes& data) {
    data.insert(data.end(), {0x40, 0x00, 0x12, 0x34, 0, 0, 0, 0, 0, 0x23});
}

TEST_F(VarlookTest, ListMatrixAndDataCounts) {
    Bytes list = {0xE5};
    for (int i = 0; i < 3; ++i) {
        push_float(list);
    }
    list.push_back(0xD9);
    EXPECT_EQ(summary_of(4, list), "Elements:    3\n");

    // Two rows of three one-byte items, then the outer list's tag.
    Bytes matrix = {0xE5, 0xE5, 0x01, 0x02, 0x03, 0xD9, 0xE5, 0x04, 0x05, 0x06, 0xD9, 0xD9};
    EXPECT_EQ(summary_of(6, matrix), "Rows:        2\nColumns:     3\nElements:    6\n");
    EXPECT_EQ(summary_of(6, {0xE5, 0x01, 0xD9, 0x00}),
              "Rows:        0\nColumns:     0\nElements:    0\n");

    // One byte, the column count 2, then per column three bytes and its list,
    // then three more bytes.
    Bytes data = {0x00, 0x02, 0xAA, 0xAA, 0xAA, 0xE5, 0x01, 0x02, 0x03, 0xD9,
                  0xBB, 0xBB, 0xBB, 0xE5, 0x07, 0xD9, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(summary_of(10, data),
              "Columns:     2\nColumn  2:   1 row\nColumn  1:   3 rows\nElements:    4\n");
}

TEST_F(VarlookTest, ListItemsOfEveryMeasurableKind) {
    Bytes list = {0xE5};
    list.insert(list.end(), {0x00, 'a', 'b', 0x00});                // a variable name
    list.insert(list.end(), {0x05, 0x01, 0x1F});                    // integer 5
    list.insert(list.end(), {0x05, 0x01, 0x02, 0x01, 0x02, 0x21});  // fraction 5/258
    list.insert(list.end(), {0x00, 'h', 'i', 0x00, 0x2D});          // a string
    list.insert(list.end(), {0x00, 0x00, 0x2D});                    // an empty string
    list.insert(list.end(), {0x1B, 0xD9});
    EXPECT_EQ(summary_of(4, list), "Elements:    6\n");
}

TEST_F(VarlookTest, UnmeasurableListsSayOopsAndCountNothing) {
    std::string err;
    // A list nested inside a list.
    Bytes nested = {0xE5, 0xE5, 0x01, 0xD9, 0xD9};
    EXPECT_EQ(summary_of(4, nested, &err), "");
    EXPECT_EQ(err, "Oops!:       Can't handle expressions yet.\n");

    // Items that would run off the front of the data, and a list with no end.
    for (Bytes bad : {Bytes{0x30, 0x1F, 0xD9}, Bytes{0x10, 0x2D, 0xD9}, Bytes{'a', 0x00, 0xD9},
                      Bytes{0xFF, 0x01, 0x21, 0xD9}, Bytes{0x01, 0xD9}}) {
        EXPECT_EQ(summary_of(4, bad, &err), "");
        EXPECT_EQ(err, "Oops!:       Can't handle expressions yet.\n");
    }
    // The column in which the walk stopped is still printed.
    Bytes data = {0x00, 0x01, 0xAA, 0xAA, 0xAA, 0xE5, 0x99, 0xD9, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(summary_of(10, data, &err), "Columns:     1\nColumn  1:   1 row\n");
    EXPECT_EQ(err, "Oops!:       Can't handle expressions yet.\n");
}

TEST_F(VarlookTest, EmptyAndTinyListData) {
    EXPECT_EQ(summary_of(4, {}), "Elements:    0\n");
    EXPECT_EQ(summary_of(10, {}), "Columns:     0\nElements:    0\n");
    EXPECT_EQ(summary_of(6, {0xD9}), "Rows:        0\nColumns:     0\nElements:    0\n");
}

TEST_F(VarlookTest, TextLineKinds) {
    // Lines 2 to 4 are counted; the first line's start byte is not.
    Bytes text = {0x00, 0x07, 'C', 'x',  0x0D, ' ',  'a', 0x0D,
                  ' ',  0x0D, 'P', 0x0D, 'Q',  0x00, 0xE0};
    EXPECT_EQ(summary_of(11, text), "Cursor pos:  7\nLine breaks: 2\nPrint obj:   1\n");
    EXPECT_EQ(summary_of(11, {0x01, 0x02, ' ', 0x00, 0xE0}), "Cursor pos:  258\n");
}

TEST_F(VarlookTest, ProgramAndFunctionFlags) {
    // Cursor position 0x0102 stands 11 bytes from the end, the flags 4.
    Bytes function = {0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4B, 0xDC};
    EXPECT_EQ(summary_of(19, function),
              "Style:       Animate\nPlot:        Yes\nTokenized:   No\nCursor pos:  258\n"
              "Flag bit 4?: Off (unknown purpose)\n");
    Bytes program = {0x00, 0x00, 0x00, 0x00, 0x17, 0xDC};
    EXPECT_EQ(summary_of(18, program), "Tokenized:   Yes\nFlag bit 4?: On (unknown purpose)\n");
}

TEST_F(VarlookTest, MacroNamesStayInTheirBuffers) {
    Bytes macro = {'m', 'a', 'c', 0x00, 'o', 'b', 'j', 0x00, 0x01, 0x02};
    EXPECT_EQ(summary_of(20, macro), "Macro name:  mac\nObject name: obj\n");

    Bytes long_name(60, 'n');
    long_name.insert(long_name.end(), {0x00, 0x00});
    EXPECT_EQ(summary_of(20, long_name),
              "Macro name:  " + std::string(39, 'n') + "\nObject name: \n");

    // No zero byte at all: the names end with the file.
    // No zero byte at all: the reading runs into the checksum (C5 00) and ends
    // with the file.
    EXPECT_EQ(summary_of(20, Bytes{'a', 'b'}), "Macro name:  ab\xC5\nObject name: \n");
}

}  // namespace
}  // namespace varkit
