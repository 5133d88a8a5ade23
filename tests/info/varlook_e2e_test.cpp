// The built Varlook executable on real calculator files and on hostile ones.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "tests/rich/rich_files.h"
#include "tests/support/program_run.h"
#include "tests/support/test_files.h"
#include "tests/support/variable_files.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::run_executable;

// Every TI-89 / TI-92 / TI-92 Plus sample of each kind reports with a
// verified checksum, and its file is left as it was.
TEST(VarlookSamples, RealFilesVerify) {
    struct Sample {
        const char* path;
        const char* type_line;  // nullptr for a group
        const char* summary;
    };
    const Sample samples[] = {
        {"calculator/str.89s", "Type:        STR\n", ""},
        {"calculator/str.92s", "Type:        STR\n", ""},
        {"calculator/group.89g", nullptr, ""},
        {"calculator/group.92g", nullptr, ""},
        {"written-by-libtifiles/txt.89t", "Type:        TEXT\n", "Cursor pos:  "},
        {"written-by-libtifiles/pic.89i", "Type:        PIC\n",
         "Rows:        103\nColumns:     239\n"},
        {"written-by-libtifiles/group.list.92l", "Type:        LIST\n", "Elements:    2\n"},
        {"written-by-libtifiles/group.mat.92m", "Type:        MAT\n", "Elements:    "},
        {"written-by-libtifiles/group.data.92c", "Type:        DATA\n", "Columns:     "},
        {"written-by-libtifiles/group.prg.92p", "Type:        PROG\n", "Tokenized:   "},
        {"written-by-libtifiles/group.f.92f", "Type:        FUNC\n", "Style:       "},
        {"written-by-libtifiles/group.mac.92x", "Type:        MAC\n", "Macro name:  "},
        {"written-by-libtifiles/group.fig.92a", "Type:        FIG\n", ""},
        {"written-by-libtifiles/group.gdb.92d", "Type:        GDB\n", ""},
        {"written-by-libtifiles/group.exp.92e", "Type:        EXPR\n", ""},
    };
    int found = 0;
    for (const Sample& sample : samples) {
        std::string path = testing::sample_path(sample.path);
        if (path.empty()) {
            continue;
        }
        ++found;
        Bytes before = testing::read_file(path);
        auto result = run_executable("Varlook", {path});
        EXPECT_EQ(result.status, 0) << sample.path << "\n" << result.out;
        EXPECT_EQ(result.err, "") << sample.path;
        if (sample.type_line == nullptr) {
            EXPECT_EQ(result.out.find("Type:"), std::string::npos) << sample.path;
            EXPECT_EQ(result.out.find("Checksum:"), std::string::npos) << sample.path;
        } else {
            EXPECT_NE(result.out.find(sample.type_line), std::string::npos) << sample.path;
            EXPECT_NE(result.out.find(std::string("\n") + sample.summary), std::string::npos)
                << sample.path << "\n"
                << result.out;
            EXPECT_NE(result.out.find(" (verified)\n\n"), std::string::npos) << sample.path;
        }
        EXPECT_EQ(testing::read_file(path), before) << sample.path;
    }
    if (found == 0) {
        GTEST_SKIP() << "no sample files in " << VARKIT_SAMPLES_DIR;
    }
}

// Files of other calculators are refused, not misread.
TEST(VarlookSamples, OtherCalculatorsAreRefused) {
    for (const char* name :
         {"calculator/group.83g", "calculator/prgm.86p", "calculator/BartSimpson.8xi"}) {
        std::string path = testing::sample_path(name);
        if (path.empty()) {
            GTEST_SKIP() << "no sample files";
        }
        auto result = run_executable("Varlook", {path});
        EXPECT_EQ(result.out, "Error: File type not supported.\n") << name;
        EXPECT_EQ(result.status, 1);
    }
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

struct GroupSample {
    const char* path;
    std::size_t variables;
    bool sums_hold;  // one real TI-86 group carries a wrong sum
};

const GroupSample kGroupSamples[] = {
    {"calculator/group.89g", 12, true},      {"calculator/group.92g", 2, true},
    {"calculator/group.82g", 2, true},       {"calculator/group.83g", 2, true},
    {"calculator/group.8Xg", 2, true},       {"calculator/GROUP.85G", 2, true},
    {"calculator/group.86g", 2, false},      {"calculator/prgm.86p", 1, true},
    {"calculator/BartSimpson.8xi", 1, true}, {"calculator/str.89s", 1, true},
};

// Every real file lists each of its variables on a line of its own.
TEST(VarlookSamples, GroupsListEveryVariable) {
    for (const GroupSample& sample : kGroupSamples) {
        std::string path = testing::sample_path(sample.path);
        if (path.empty()) {
            GTEST_SKIP() << "no sample files in " << VARKIT_SAMPLES_DIR;
        }
        auto result = run_executable("Varlook", {path, "--list"});
        std::vector<std::string> lines = lines_of(result.out);
        EXPECT_EQ(lines.size(), sample.variables) << sample.path << "\n" << result.out;
        for (const std::string& line : lines) {
            EXPECT_EQ(line.ends_with("  checksum ok"), sample.sums_hold) << line;
        }
        EXPECT_EQ(result.status, sample.sums_hold ? 0 : 1) << sample.path;
    }
    EXPECT_EQ(
        run_executable("Varlook", {testing::sample_path("calculator/group.92g"), "--list"}).out,
        "group\\X           STR    Unlocked     6  checksum ok\n"
        "group\\Y           STR    Unlocked     6  checksum ok\n");
    EXPECT_EQ(
        run_executable("Varlook", {testing::sample_path("calculator/group.86g"), "--list"}).out,
        "Y                 REAL   Unlocked    10  checksum wrong: 5BBh, should be 4ABh\n"
        "X                 REAL   Unlocked    10  checksum wrong: 5BBh, should be 4ABh\n");
}

Bytes tail_of(const Bytes& bytes, std::size_t from, std::size_t cut = 0) {
    return Bytes(bytes.begin() + static_cast<long>(from), bytes.end() - static_cast<long>(cut));
}

// --extract unpacks every group into files that Varlook reports as sound
// and whose data, one file after another, are the group's bytes; the TI-92
// group's variables come out as an independent implementation wrote them.
TEST(VarlookSamples, ExtractedVariablesAreTheGroupsBytes) {
    for (const GroupSample& sample : kGroupSamples) {
        std::string path = testing::sample_path(sample.path);
        if (path.empty()) {
            GTEST_SKIP() << "no sample files in " << VARKIT_SAMPLES_DIR;
        }
        testing::TempDir dir;
        auto result = run_executable("Varlook", {path, "--extract=" + dir.path().string()});
        EXPECT_EQ(result.status, 0) << result.out;
        Bytes group = testing::read_file(path);
        const bool ti68k = group[8] == 1;
        std::vector<std::string> lines = lines_of(result.out);
        ASSERT_EQ(lines.size(), sample.variables + 1) << result.out;
        lines.pop_back();
        Bytes joined;
        std::map<char, Bytes> by_letter;
        for (const std::string& line : lines) {
            std::string file = line.substr(line.find(" -> ") + 4);
            file = file.substr(0, file.find(" ("));
            Bytes single = testing::read_file(file);
            Bytes data = ti68k ? tail_of(single, 82) : tail_of(single, 55, 2);
            joined.insert(joined.end(), data.begin(), data.end());
            by_letter[file.back()] = single;
            std::vector<std::string> args = {file};
            if (!ti68k) {
                args.push_back("--list");
            }
            auto report = run_executable("Varlook", args);
            EXPECT_EQ(report.status, 0) << file << "\n" << report.out;
            EXPECT_NE(report.out.find(ti68k ? "(verified)" : "checksum ok"), std::string::npos);
        }
        std::size_t start = ti68k ? group[60] | group[61] << 8 : 55;
        EXPECT_EQ(joined, tail_of(group, start, ti68k ? 0 : 2)) << sample.path;
        if (sample.variables != 12) {
            continue;
        }
        for (const auto& twin :
             std::filesystem::directory_iterator(testing::sample_path("written-by-libtifiles"))) {
            std::string name = twin.path().filename().string();
            if (name.starts_with("group.")) {
                // Everything after the name (one of them is named "exp" there).
                EXPECT_EQ(tail_of(by_letter[name.back()], 72),
                          tail_of(testing::read_file(twin.path().string()), 72))
                    << name;
            }
        }
    }
}

// A picture taken from its group gives the BMP the same picture gives alone.
TEST(VarlookSamples, PictureMemberIsThePictureAlone) {
    struct Case {
        const char* group;
        const char* member;
        const char* alone;  // nullptr: extracted from the group
    };
    for (Case sample : {Case{"calculator/group.89g", "group/pic", nullptr},
                        Case{"calculator/BartSimpson.8xi", "pic2", "calculator/BartSimpson.8xi"}}) {
        std::string path = testing::sample_path(sample.group);
        if (path.empty()) {
            GTEST_SKIP() << "no sample files in " << VARKIT_SAMPLES_DIR;
        }
        testing::TempDir dir;
        std::vector<std::string> env = {
            "VARKIT_CLIPBOARD=files", "VARKIT_CLIPBOARD_DIR=" + dir.file("clipboard"), "DISPLAY="};
        std::string alone = sample.alone ? testing::sample_path(sample.alone) : dir.file("pic.9xi");
        run_executable("Varlook", {path, "--extract=" + dir.path().string()});
        auto member = run_executable(
            "Pixelcast", {path, "--member=" + std::string(sample.member), dir.file("member.bmp")},
            env);
        auto single = run_executable("Pixelcast", {alone, dir.file("alone.bmp")}, env);
        EXPECT_EQ(member.status, 0) << member.err;
        EXPECT_EQ(single.status, 0) << single.err;
        EXPECT_EQ(testing::read_file(dir.file("member.bmp")),
                  testing::read_file(dir.file("alone.bmp")));
    }
}

class VarlookHostile : public ::testing::Test {
  protected:
    // Runs Varlook (optionally with /X and a rename) and checks that it ends
    // cleanly with status 1 and leaves the file exactly as it was.
    std::string refuse(const Bytes& bytes, const std::string& expected_line) {
        std::string path = dir.file("hostile.89t");
        testing::write_file(path, bytes);
        for (auto extra : std::vector<std::vector<std::string>>{{}, {"/X"}, {"/X", "/N", "x"}}) {
            std::vector<std::string> args = {path};
            args.insert(args.end(), extra.begin(), extra.end());
            auto result = run_executable("Varlook", args);
            EXPECT_EQ(result.status, 1) << result.out << result.err;
            EXPECT_NE(result.out.find(expected_line), std::string::npos) << result.out;
            if (extra.size() < 2) {
                EXPECT_EQ(testing::read_file(path), bytes) << "the file must not change";
            }
            last_out = result.out;
        }
        return last_out;
    }
    testing::TempDir dir;
    std::string last_out;
};

Bytes text_file() {
    testing::VariableFileSpec spec;
    spec.data = {0x00, 0x01, ' ', 'h', 'i', 0x00, 0xE0};
    return testing::make_variable_file(spec);
}

TEST_F(VarlookHostile, TruncatedFiles) {
    refuse({}, "Error: File type not supported.\n");
    Bytes five = text_file();
    five.resize(5);
    refuse(five, "Error: File type not supported.\n");

    Bytes header_only = text_file();
    header_only.resize(87);
    EXPECT_EQ(refuse(header_only, "Error: File is cut short"),
              "Error: File is cut short: 87 bytes, less than a 88-byte header.\n");

    Bytes inside_data = text_file();
    inside_data.resize(92);
    refuse(inside_data,
           "Error: File is cut short: 92 bytes, where data length 7 needs 97; "
           "checksum not checked.\n");
}

TEST_F(VarlookHostile, LyingLengthsAndTrailingBytes) {
    Bytes lying = text_file();
    lying[86] = 0xFF;
    lying[87] = 0xFF;
    refuse(lying, "where data length 65535 needs 65625");

    Bytes trailing = text_file();
    trailing.insert(trailing.end(), {1, 2, 3});
    refuse(trailing, "Error: File has 3 bytes after its checksum; checksum not checked.\n");
}

TEST_F(VarlookHostile, HugeEntryCountsAndMalformedData) {
    Bytes file = text_file();
    file[58] = file[59] = 0xFF;  // entry count
    file[60] = file[61] = file[62] = file[63] = 0xFF;
    testing::write_file(dir.file("count.89t"), file);
    auto result = run_executable("Varlook", {dir.file("count.89t")});
    EXPECT_EQ(result.status, 0) << "the entry table is not walked for a report";

    // Every type over random-looking data: no crash, whatever is printed.
    for (int type = 0; type < 256; ++type) {
        testing::VariableFileSpec spec;
        spec.type_code = static_cast<std::uint8_t>(type);
        for (int i = 0; i < 300; ++i) {
            spec.data.push_back(static_cast<std::uint8_t>((i * 37 + type * 11) ^ (i >> 3)));
        }
        testing::write_file(dir.file("junk.89t"), testing::make_variable_file(spec));
        auto junk = run_executable("Varlook", {dir.file("junk.89t")});
        EXPECT_LT(junk.status, 2) << "type " << type << "\n" << junk.err;
    }
}

// Group tables that lie, read by every program that takes a member: each is
// one error line, the file stays as it was and nothing is extracted.
TEST_F(VarlookHostile, DamagedGroupsAreRefused) {
    using testing::GroupEntry;
    const Bytes ti68k = testing::make_group_file(
        "**TI89**", "main",
        {{"main", 31, {}}, {"notes", 11, testing::text_data(" hi")}, {"s", 12, {0, 'a', 0, 0x2D}}});
    const Bytes ti86 = testing::make_older_file(
        "**TI86**", {{0x0C, {5, 'N', 'O', 'T', 'E', 'S'}, {3, 0, 'a', 'b', 'c'}},
                     {0x00, {1, 'X'}, Bytes(10, 0)}});
    struct Lie {
        const Bytes& file;
        std::size_t offset;  // where the lie goes, or the new size when `bytes` is empty
        Bytes bytes;
        const char* detail;
    };
    const Lie lies[] = {
        {ti68k, 58, {0, 0}, "its entry count (0) does not fit the file"},
        {ti68k, 58, {0xFF, 0xFF}, "its entry count (65535) does not fit the file"},
        {ti68k, 58, {4, 0}, "its entry table of 4 entries overlaps the data"},
        {ti68k, 60, {0, 0, 0, 0x7F}, "entry 1 ends before it begins"},
        {ti68k, 92, {0xF0, 0xFF, 0xFF, 0xFF}, "entry 2 runs past the end of the file"},
        {ti68k, 108, {64, 0, 0, 0}, "entry 3 ends before it begins"},
        {ti68k, 118, {0xFF, 0xFF}, "entry 2 has a data length that does not fit its 15 bytes"},
        {ti68k, 70, {}, "the file is too short for its entry table"},
        {ti68k, ti68k.size() - 3, {}, "entry 3 runs past the end of the file"},
        {ti86, 53, {0xFF, 0xFF}, "its data section runs past the end of the file"},
        {ti86, 55, {0xFF, 0xFF}, "entry 1 has a header that does not fit it"},
        {ti86, 60, {9}, "entry 1 has a header that does not fit it"},
        {ti86, 66, {4, 0}, "entry 1 gives two different data lengths"},
        {ti86,
         57,
         {0xF0, 0x7F, 0x0C, 5, 'N', 'O', 'T', 'E', 'S', 0xF0, 0x7F},
         "entry 1 runs past the end of the data section"},
        {ti86, 53, {22, 0}, "entry 2 is cut short"},
        {ti86, 40, {}, "the file is too short for its header"},
    };
    const std::string path = dir.file("group.89g");
    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    for (const Lie& lie : lies) {
        Bytes file = lie.file;
        if (lie.bytes.empty()) {
            file.resize(lie.offset);
        } else {
            std::copy(lie.bytes.begin(), lie.bytes.end(), file.begin() + lie.offset);
        }
        testing::write_file(path, file);
        const std::string line = "Error: " + path + " is damaged: " + lie.detail + ".\n";
        for (auto args : std::vector<std::vector<std::string>>{
                 {"Varlook", "--list"},
                 {"Varlook", "--extract=" + out},
                 {"Varlook", "--member=notes", "/X", "/N", "x"},
                 {"Plaincast", "--member=notes"},
                 {"Pixelcast", "--member=notes"},
                 {"Quillcast", "--member=notes", dir.file("out.rtf")}}) {
            const std::string program = args.front();
            args.front() = path;
            auto result = run_executable(program, args, {"VARKIT_CLIPBOARD=none"});
            EXPECT_EQ(result.status, 1) << program << " " << lie.detail;
            EXPECT_NE((program == "Varlook" ? result.out : result.err).find(line),
                      std::string::npos)
                << program << "\n"
                << result.out << result.err;
        }
        EXPECT_EQ(testing::read_file(path), file) << lie.detail;
        EXPECT_TRUE(testing::list_dir(out).empty()) << lie.detail;
    }
}

TEST(VarlookNames, LongPathsWork) {
    testing::TempDir dir;
    std::filesystem::path path = dir.path();
    for (int i = 0; i < 4; ++i) {
        path /= std::string(100, 'd');
        std::filesystem::create_directory(path);
    }
    path /= std::string(200, 'f') + ".89t";
    testing::write_file(path.string(), text_file());
    auto result = run_executable("Varlook", {path.string(), "/N", "renamed"});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("Filename:    renamed\n"), std::string::npos);

    auto missing = run_executable("Varlook", {path.string() + "x"});
    EXPECT_EQ(missing.out, "Error: Can't open " + path.string() + "x.\n");
}

// A file the user may only read is reported; a change to it is refused. Run
// as an unprivileged user, since root may write to any file.
TEST(VarlookNames, ReadOnlyFilesAreReportedButNotChanged) {
    if (access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "setpriv is needed to drop privileges";
    }
    testing::TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    std::string path = dir.file("ro.89t");
    testing::write_file(path, text_file());
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    std::vector<std::string> as_nobody = {"/usr/bin/setpriv",
                                          "--reuid=65534",
                                          "--regid=65534",
                                          "--clear-groups",
                                          testing::executable_path("Varlook"),
                                          path};
    if (geteuid() != 0) {
        as_nobody.erase(as_nobody.begin(), as_nobody.begin() + 4);
    } else if (testing::run_command({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                     "--clear-groups", "test", "-x",
                                     testing::executable_path("Varlook")})
                   .status != 0) {
        GTEST_SKIP() << "the unprivileged user cannot reach the build folder";
    }
    auto report = testing::run_command(as_nobody);
    EXPECT_EQ(report.status, 0) << report.out << report.err;
    EXPECT_NE(report.out.find("(verified)"), std::string::npos) << report.out;

    as_nobody.insert(as_nobody.end(), {"/N", "other"});
    auto change = testing::run_command(as_nobody);
    EXPECT_EQ(change.out, "Error: Can't open " + path + ".\n");
    EXPECT_EQ(change.status, 1);
    EXPECT_EQ(testing::read_file(path), text_file());
}

TEST(VarlookNames, UsageGoesToStandardOutputWithStatus2) {
    auto result = run_executable("Varlook", {});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out.substr(0, 13), "Varlook v0.2\n");
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace varkit
