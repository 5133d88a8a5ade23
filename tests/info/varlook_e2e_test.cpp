// The built Varlook executable on real calculator files and on hostile ones.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

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
