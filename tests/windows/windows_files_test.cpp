// What differs on Windows in the file layer and the command line. (The CR LF
// of saved documents is checked on whole documents by compare_builds.py.)
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "tests/support/test_files.h"
#include "varfile/varfile.h"

namespace varkit {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

TEST(WindowsRules, SlashAlwaysBeginsASwitch) {
    for (const char* argument : {"/x", "-x", "/home/an/notes.89t", "-dir/name", "/"}) {
        EXPECT_TRUE(is_switch(argument)) << argument;
    }
    for (const char* argument :
         {"x/", "C:/notes.89t", "C:\\notes.89t", "\\\\server\\share\\a.89t", "--help"}) {
        EXPECT_FALSE(is_switch(argument)) << argument;
    }
}

// Names and comments from the UTF-8 command line go into a header in the
// calculator's codes, as the ANSI code page gave the original programs
// Latin letters.
TEST(WindowsRules, HeaderTextIsTheCalculatorsCodes) {
    EXPECT_EQ(header_text("caf\u00e9 \u2192 \u03c0"), "caf\xe9 \x16 \x8c");
    EXPECT_EQ(header_text("\u0100\u20ac\u7b14"), "A??");
    EXPECT_EQ(header_text("\xe9 bytes"), "\xe9 bytes");
}

// Outputs replace their target through MoveFileExW, in any spelling of the
// folder, and leave nothing else; scratch files live in GetTempPath.
TEST(WindowsRules, OutputsReplaceTheirTargetAndScratchFilesGoToTheTemporaryFolder) {
    TempDir dir;
    write_file(dir.file("old.89t"), std::string("old"));
    for (std::string target : {dir.file("old.89t"), dir.file("new.89t")}) {
        for (char& c : target) {
            c = c == '/' ? '\\' : c;
        }
        OutputFile output(target);
        ASSERT_TRUE(output.open()) << target;
        std::fputs("new\n", output.stream());
        ASSERT_TRUE(output.commit()) << target;
        EXPECT_EQ(read_file(target), testing::Bytes({'n', 'e', 'w', '\n'}));
    }
    OutputFile folder(dir.path().string());
    EXPECT_FALSE(folder.open());
    EXPECT_FALSE(open_existing_file(dir.path().string().c_str(), false));
    EXPECT_EQ(testing::list_dir(dir.path().string()),
              (std::vector<std::string>{"new.89t", "old.89t"}));

    char buffer[MAX_PATH + 1];
    const std::string temporary(buffer, GetTempPathA(sizeof buffer, buffer));
    std::string scratch_path;
    {
        ScratchFile scratch(".bmp");
        ASSERT_TRUE(scratch.created());
        scratch_path = scratch.path();
        EXPECT_TRUE(scratch_path.starts_with(temporary + "varkit-")) << scratch_path;
        EXPECT_TRUE(scratch_path.ends_with(".bmp")) << scratch_path;
        EXPECT_TRUE(std::filesystem::exists(scratch_path));
    }
    EXPECT_FALSE(std::filesystem::exists(scratch_path));
}

}  // namespace
}  // namespace varkit
