// The built programs on group files made by the tests: a member changed in
// place, extraction that never overwrites, and members that convert as they
// would alone.
#include <gtest/gtest.h>

#include "tests/rich/rich_files.h"
#include "tests/support/program_run.h"
#include "tests/support/test_files.h"
#include "tests/support/variable_files.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::run_executable;
using testing::string_data;

std::size_t le32_at(const Bytes& file, std::size_t offset) {
    return file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16 | file[offset + 3] << 24;
}

// The offsets at which two files of one size differ.
std::vector<std::size_t> differences(const Bytes& a, const Bytes& b) {
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) {
            offsets.push_back(i);
        }
    }
    EXPECT_EQ(a.size(), b.size());
    return offsets;
}

class GroupFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        group_ = testing::make_group_file("**TI89**", "main",
                                          {{"main", 31, {}},
                                           {"notes", 11, testing::text_data(" hello")},
                                           {"s1", 12, string_data("abc")},
                                           {"work", 31, {}},
                                           {"notes", 12, string_data("xyz")},
                                           {"con", 12, string_data("d")},
                                           {"a/b", 12, string_data("e")},
                                           {"S1", 12, string_data("f")}});
        // main\notes carries a wrong checksum: the last two bytes of its block.
        sound_ = group_;
        notes_checksum_ = le32_at(group_, 64 + 16 + 12) - 2;
        group_[notes_checksum_] ^= 0x5A;
        testing::write_file(path_, group_);
    }
    testing::ProgramResult varlook(std::vector<std::string> args) {
        args.insert(args.begin(), path_);
        return run_executable("Varlook", args);
    }
    std::vector<std::string> env() const {
        return {"VARKIT_CLIPBOARD=files", "VARKIT_CLIPBOARD_DIR=" + dir_.file("clipboard"),
                "DISPLAY=", "LC_ALL=C"};
    }

    testing::TempDir dir_;
    const std::string path_ = dir_.file("backup.89g");
    Bytes group_;
    Bytes sound_;  // the group before its checksum was broken
    std::size_t notes_checksum_ = 0;
};

// /X, /N and /L on a member change its own bytes and no other; what cannot
// go back into the group is refused before anything is written.
TEST_F(GroupFiles, MemberChangesStayInsideTheMember) {
    struct Refusal {
        std::vector<std::string> args;
        std::string line;
    };
    for (const Refusal& refusal : std::vector<Refusal>{
             {{"--member=notes"},
              "Error: notes names main\\notes, work\\notes; give its folder too.\n"},
             {{"--member=nothing", "/X"}, "Error: No variable nothing in " + path_ + ".\n"},
             {{"--member=main/s1", "/N", "NOTES"},
              "Error: main\\notes is already in " + path_ + ".\n"},
             {{"--member=main/s1", "/F", "other"},
              "Error: A group's variables share its folder and comment; /F and /C can't change "
              "them for one.\n"}}) {
        auto result = varlook(refusal.args);
        EXPECT_EQ(result.out, refusal.line);
        EXPECT_EQ(result.status, 1);
    }
    auto unrepaired = varlook({"--member=main/notes"});
    EXPECT_NE(unrepaired.out.find("Filename:    notes\nFolder:      main\n"), std::string::npos);
    EXPECT_NE(unrepaired.out.find("(Checksum error, should be"), std::string::npos);
    EXPECT_EQ(unrepaired.status, 1);
    EXPECT_EQ(testing::read_file(path_), group_);

    auto repaired = varlook({"--member=MAIN\\Notes", "/X"});
    EXPECT_EQ(repaired.status, 0) << repaired.out;
    Bytes after = testing::read_file(path_);
    EXPECT_EQ(differences(group_, after), std::vector<std::size_t>{notes_checksum_});
    EXPECT_EQ(after, sound_);
    EXPECT_EQ(varlook({"--list"}).status, 0);

    auto renamed = varlook({"--member=work/notes", "/N", "memo", "/L"});
    EXPECT_EQ(renamed.status, 0) << renamed.out;
    EXPECT_EQ(renamed.out.substr(0, 8), "lockset\n");
    const std::size_t entry = 64 + 16 * 4;
    EXPECT_EQ(
        differences(after, testing::read_file(path_)),
        (std::vector<std::size_t>{entry, entry + 1, entry + 2, entry + 3, entry + 4, entry + 9}));
    EXPECT_NE(
        varlook({"--list"}).out.find("work\\memo         STR    Locked       6  checksum ok\n"),
        std::string::npos);
}

// Extraction never replaces a file, not even one it wrote itself, unless
// --force; unsafe names are made safe.
TEST_F(GroupFiles, ExtractNeverOverwrites) {
    const std::string out = dir_.file("out");
    std::filesystem::create_directory(out);
    testing::write_file(out + "/notes.89t", std::string("keep"));
    auto first = varlook({"--extract=" + out + "/"});
    EXPECT_EQ(first.out, "Error: " + out +
                             "/notes.89t exists; main\\notes not written (--force "
                             "replaces it).\n"
                             "main\\s1 -> " +
                             out +
                             "/s1.89s\n"
                             "work\\notes -> " +
                             out +
                             "/notes.89s\n"
                             "work\\con -> " +
                             out +
                             "/con_.89s (name made safe)\n"
                             "work\\a/b -> " +
                             out +
                             "/a_b.89s (name made safe)\n"
                             "Error: " +
                             out +
                             "/S1.89s was written for another variable; work\\S1 "
                             "not written.\n"
                             "4 written, 1 skipped, 1 refused.\n");
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(testing::read_file(out + "/notes.89t"), Bytes({'k', 'e', 'e', 'p'}));

    // Forced, it replaces files, and nothing else of a variable's name.
    std::filesystem::remove(out + "/a_b.89s");
    std::filesystem::create_directory(out + "/a_b.89s");
    auto forced = varlook({"--extract=" + out, "--force"});
    EXPECT_NE(forced.out.find("main\\notes -> " + out + "/notes.89t (checksum corrected)\n"),
              std::string::npos);
    EXPECT_NE(forced.out.find("Error: " + out + "/a_b.89s exists and is no regular file; " +
                              "work\\a/b not written.\n"),
              std::string::npos)
        << forced.out;
    EXPECT_NE(forced.out.find("4 written, 1 skipped, 1 refused.\n"), std::string::npos);
    auto report = run_executable("Varlook", {out + "/notes.89t"});
    EXPECT_EQ(report.status, 0) << report.out;
    EXPECT_NE(report.out.find("Comment:     made by the rich text tests\n"), std::string::npos);
    EXPECT_EQ(testing::list_dir(out), (std::vector<std::string>{"a_b.89s", "con_.89s", "notes.89s",
                                                                "notes.89t", "s1.89s"}));

    EXPECT_EQ(varlook({"--extract=" + dir_.file("none")}).out,
              "Error: " + dir_.file("none") + " is not a folder.\n");
    for (auto bad : std::vector<std::vector<std::string>>{{"--list", "--extract"},
                                                          {"--list", "/X"},
                                                          {"--extract", "--member=s1"},
                                                          {"--force"},
                                                          {"--extract="},
                                                          {"--member="},
                                                          {"--list=yes"}}) {
        EXPECT_EQ(varlook(bad).status, 2) << bad.front();
    }
}

// A member converts byte for byte as the same variable extracted on its own.
TEST_F(GroupFiles, MembersConvertAsTheyWouldAlone) {
    const std::string out = dir_.file("out");
    std::filesystem::create_directory(out);
    ASSERT_EQ(varlook({"--extract=" + out}).status, 1);  // work\S1 clashes with main\s1

    auto text_member = run_executable(
        "Plaincast", {path_, "--member=work/notes", dir_.file("member.txt"), "/S"}, env());
    auto text_alone =
        run_executable("Plaincast", {out + "/notes.89s", dir_.file("alone.txt"), "/S"}, env());
    EXPECT_EQ(text_member.status, 0) << text_member.err;
    EXPECT_NE(text_member.out.find("xyz"), std::string::npos);
    EXPECT_EQ(text_member.out, text_alone.out);
    EXPECT_EQ(testing::read_file(dir_.file("member.txt")),
              testing::read_file(dir_.file("alone.txt")));

    auto rtf_member =
        run_executable("Quillcast", {path_, "--member=work/notes", dir_.file("member.rtf")}, env());
    run_executable("Quillcast", {out + "/notes.89s", dir_.file("alone.rtf")}, env());
    EXPECT_EQ(rtf_member.err, "work/notes to " + dir_.file("member.rtf") + "\n");
    EXPECT_EQ(testing::read_file(dir_.file("member.rtf")),
              testing::read_file(dir_.file("alone.rtf")));

    // Pictures of the older calculators: a TI-83's is named by the token for
    // Pic1, a TI-86's by its letters, padded with spaces.
    struct OlderPicture {
        const char* signature;
        testing::OlderEntry entry;
        Bytes real_name;  // of a real number A beside it
        std::size_t columns;
        const char* listed;
    };
    for (OlderPicture older :
         {OlderPicture{"**TI83**",
                       {0x07, {0x60, 0, 0, 0, 0, 0, 0, 0}, {0xF4, 0x02}},
                       {'A', 0, 0, 0, 0, 0, 0, 0},
                       96,
                       "Pic1              PIC    Unlocked   758  checksum ok\n"},
          OlderPicture{"**TI86**",
                       {0x11, {4, 'P', 'I', 'C', '1', ' ', ' ', ' ', ' '}, {0xF0, 0x03}},
                       {1, 'A'},
                       128,
                       "PIC1              PIC    Unlocked  1010  checksum ok\n"}}) {
        for (std::size_t i = 0; i < 63 * older.columns / 8; ++i) {
            older.entry.data.push_back(static_cast<std::uint8_t>(i * 7));
        }
        const testing::OlderEntry real{0x00, older.real_name, Bytes(9, 0)};
        testing::write_file(dir_.file("calc.g"),
                            testing::make_older_file(older.signature, {real, older.entry}));
        testing::write_file(dir_.file("pic1.i"),
                            testing::make_older_file(older.signature, {older.entry}));
        const std::string listed = run_executable("Varlook", {dir_.file("calc.g"), "--list"}).out;
        EXPECT_TRUE(listed.ends_with(older.listed)) << listed;
        auto drawn_member = run_executable(
            "Pixelcast", {dir_.file("calc.g"), "--member=pic1", "/SF", "/F#", "/B."}, env());
        auto drawn_alone =
            run_executable("Pixelcast", {dir_.file("pic1.i"), "/SF", "/F#", "/B."}, env());
        EXPECT_EQ(drawn_member.status, 0) << drawn_member.err;
        EXPECT_EQ(drawn_member.out.size(), 1 + 63 * (older.columns + 1));
        EXPECT_EQ(drawn_member.out, drawn_alone.out);
        EXPECT_EQ(run_executable("Pixelcast", {dir_.file("calc.g"), "--member=A"}, env()).err,
                  "Error: Not a picture file.\n");
    }
}

}  // namespace
}  // namespace varkit
