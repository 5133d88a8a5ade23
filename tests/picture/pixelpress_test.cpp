// Pixelpress run in-process: the bitmap checks, the rows, the header and the
// file it writes, from BMP files and from the in-memory clipboard.
#include "picture_import/pixelpress.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/dib.h"
#include "tests/picture/picture_test_files.h"
#include "tests/support/fake_platform.h"
#include "tests/support/program_run.h"

namespace varkit {
namespace {

using testing::BmpSpec;
using testing::Bytes;
using testing::Pixels;
using testing::ProgramResult;

const char kUsage[] =
    "Pixelpress v1.0\n"
    "Copies a bitmap from the clipboard or a BMP file to a TI[89,92,92+] file.\n"
    "\n"
    "Pixelpress TIfile  [BMPfile] [/N name] [/F folder] [/C \"quoted text\"]\n"
    "\n"
    "  /N     New file name. This is the file name used in the calculator.\n"
    "          Maximum size= 8 characters.\n"
    "  /F     New folder name. Maximum size= 8 characters.\n"
    "  /C     New comment. If the comment is more than one word it must be enclosed\n"
    "          in quotes. Maximum size= 40 characters.\n"
    "\n"
    "\n";

const Pixels kSmall = {"#.#", ".#."};

class PixelpressTest : public ::testing::Test {
  protected:
    // Scratch files go to a folder of the test's own, to see that none stays.
    void SetUp() override {
        std::filesystem::create_directory(scratch_dir());
        setenv("TMPDIR", scratch_dir().c_str(), 1);
    }
    void TearDown() override {
        EXPECT_TRUE(testing::list_dir(scratch_dir()).empty()) << "a scratch file stayed";
        unsetenv("TMPDIR");
    }
    std::string scratch_dir() const { return dir.file("scratch"); }
    std::string put(const Bytes& bytes, const std::string& name = "in.bmp") {
        std::string path = dir.file(name);
        testing::write_file(path, bytes);
        return path;
    }
    ProgramResult run(const std::vector<std::string>& args) {
        return testing::run_in_process(pixelpress_main, args, clipboard);
    }
    // Imports `bmp` into out.89i and returns the file written.
    Bytes import(const Bytes& bmp, std::vector<std::string> switches = {}) {
        std::string out = dir.file("out.89i");
        std::filesystem::remove(out);
        switches.insert(switches.begin(), {out, put(bmp)});
        ProgramResult result = run(switches);
        EXPECT_EQ(result.err, "" + dir.file("in.bmp") + " image copied to " + out + ".\n");
        return std::filesystem::exists(out) ? testing::read_file(out) : Bytes{};
    }
    Pixels pixels_of(const Bytes& file) {
        return testing::unpack_rows(Bytes(file.begin() + 92, file.end() - 3),
                                    file.at(88) << 8 | file.at(89), file.at(90) << 8 | file.at(91));
    }

    testing::FakePlatform clipboard;
    testing::TempDir dir;
};

TEST_F(PixelpressTest, SmallBitmapByteForByte) {
    std::string out = dir.file("pic.9xi");
    ProgramResult result = run({out, put(testing::bmp_file(kSmall))});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, dir.file("in.bmp") + " image copied to " + out + ".\n");
    Bytes expected(97, 0);
    const std::string fixed = "**TI92P*\x01";
    std::copy(fixed.begin(), fixed.end(), expected.begin());
    std::string folder = "main", comment = "From in.bmp", name = "pic";
    std::copy(folder.begin(), folder.end(), expected.begin() + 10);
    std::copy(comment.begin(), comment.end(), expected.begin() + 18);
    std::copy(name.begin(), name.end(), expected.begin() + 64);
    expected[58] = 1;
    expected[60] = 82;
    expected[72] = 0x10;
    expected[76] = 97;
    expected[80] = 0xA5;
    expected[81] = 0x5A;
    const Bytes data = {0x00, 0x07, 0x00, 0x02, 0x00, 0x03, 0xA0, 0x40, 0xDF, 0xCB, 0x01};
    std::copy(data.begin(), data.end(), expected.begin() + 86);
    EXPECT_EQ(testing::read_file(out), expected);
}

TEST_F(PixelpressTest, RowsOfEveryLayout) {
    Bytes bottom_up = import(testing::bmp_file(kSmall));
    EXPECT_EQ(import(testing::bmp_file(kSmall, {.top_down = true})), bottom_up);
    // A colour table that makes 0 white does not turn the picture over.
    EXPECT_EQ(import(testing::bmp_file(kSmall, {.white_first = true})), bottom_up);
    // Bits past the last column come out off, whatever the BMP holds there.
    for (std::size_t width : {1u, 8u, 96u, 100u, 239u}) {
        Pixels image = testing::pattern(7, width);
        Bytes bmp = testing::bmp_file(image, {.white_first = true});
        std::size_t row_bytes = (width + 7) / 8, stride = (row_bytes + 3) / 4 * 4;
        for (std::size_t r = 0; r < 7 && width % 8 != 0; ++r) {
            bmp[62 + r * stride + row_bytes - 1] |= static_cast<std::uint8_t>(0xFF >> width % 8);
        }
        Bytes file = import(bmp);
        ASSERT_EQ(file.size(), 95 + 7 * ((width + 7) / 8)) << width;
        EXPECT_EQ(pixels_of(file), image) << width;
        if (width % 8 != 0) {
            std::uint8_t last = file[92 + (width + 7) / 8 - 1];
            EXPECT_EQ(last & (0xFF >> width % 8), 0) << width;
        }
        EXPECT_EQ(pixels_of(import(testing::bmp_file(image))), image) << width;
    }
    // The largest picture, for every family.
    Pixels largest = testing::pattern(103, 239);
    Bytes file = import(testing::bmp_file(largest));
    EXPECT_EQ(file.size(), 3185u);
    EXPECT_EQ(file[86] << 8 | file[87], 3095);
    EXPECT_EQ(pixels_of(file), largest);
}

TEST_F(PixelpressTest, BitmapsThatAreRefused) {
    const std::string not_bitmap = "Error: " + dir.file("in.bmp") + " is not a bitmap.\n";
    const std::string not_mono =
        "Error: " + dir.file("in.bmp") + " is not a 239x103 or less monochrome bitmap.\n";
    const std::string ends_early = "Error: " + dir.file("in.bmp") + " ends before its last row.\n";
    Bytes sound = testing::bmp_file(testing::pattern(4, 20));
    Bytes cut = sound;
    cut.resize(cut.size() - 4);
    struct Case {
        const char* what;
        Bytes bmp;
        std::string err;
    };
    const Case cases[] = {
        {"header only", Bytes(sound.begin(), sound.begin() + 14), not_bitmap},
        {"not BM", Bytes(sound.size(), 'X'), not_bitmap},
        {"rows inside the headers", testing::bmp_file(kSmall, {.rows_offset = 20}), not_bitmap},
        {"240 wide", testing::bmp_file(testing::pattern(2, 240)), not_mono},
        {"104 high", testing::bmp_file(testing::pattern(104, 8)), not_mono},
        {"104 high top-down", testing::bmp_file(testing::pattern(104, 8), {.top_down = true}),
         not_mono},
        {"4-bit", testing::bmp_file(kSmall, {.bits_per_pixel = 4}), not_mono},
        {"24-bit", testing::bmp_file(kSmall, {.bits_per_pixel = 24}), not_mono},
        {"RLE", testing::bmp_file(kSmall, {.compression = 2}), not_mono},
        {"width 0", testing::bmp_file(kSmall, {.width = 0}), not_mono},
        {"negative width", testing::bmp_file(kSmall, {.width = -3}), not_mono},
        {"height 0", testing::bmp_file(kSmall, {.height = 0}), not_mono},
        {"last row cut short", cut, ends_early},
        {"rows past the end", testing::bmp_file(kSmall, {.rows_offset = 4000}), ends_early},
        {"rows past the last byte", testing::bmp_file(kSmall, {.rows_offset = 62 + 5}), ends_early},
    };
    std::string out = put(Bytes{'o', 'l', 'd'}, "out.89i");
    for (const Case& c : cases) {
        ProgramResult result = run({out, put(c.bmp)});
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.err, c.err) << c.what;
        EXPECT_EQ(testing::read_file(out), (Bytes{'o', 'l', 'd'})) << c.what;
    }
    EXPECT_EQ(testing::list_dir(dir.path().string()),
              (std::vector<std::string>{"in.bmp", "out.89i", "scratch"}));
    // A bitmap of one pixel is sound.
    EXPECT_EQ(pixels_of(import(testing::bmp_file({"#"}))), Pixels{"#"});
}

TEST_F(PixelpressTest, SignatureAndNamesFromThePaths) {
    std::string bmp = put(testing::bmp_file(kSmall));
    struct Case {
        std::string ti_name;
        const char* signature;  // nullptr: refused
        std::string variable;
    };
    const Case cases[] = {
        {"x.89i", "**TI89**", "x"},
        {"x.92i", "**TI92**", "x"},
        {"a.92i.9xi", "**TI92P*", "a"},
        {"old.9xi.bak", "**TI92P*", "old"},
        {"picture12.9xi", "**TI92P*", "picture1"},
        {"my.pic.9xi", "**TI92P*", "my"},
        {"x.9XI", nullptr, ""},
        {"x.bmp", nullptr, ""},
    };
    for (const Case& c : cases) {
        std::string out = dir.file(c.ti_name);
        ProgramResult result = run({out, bmp});
        if (c.signature == nullptr) {
            EXPECT_EQ(result.err, "Error: File type not supported.\n") << c.ti_name;
            EXPECT_FALSE(std::filesystem::exists(out)) << c.ti_name;
            continue;
        }
        Bytes file = testing::read_file(out);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 8), c.signature) << c.ti_name;
        EXPECT_EQ(testing::text_field(file, 64, 8), c.variable) << c.ti_name;
    }
    // Only the file's own name chooses the family.
    std::filesystem::create_directory(dir.file("dir.92i"));
    ASSERT_EQ(run({dir.file("dir.92i/pic.89i"), bmp}).status, 0);
    EXPECT_EQ(testing::read_file(dir.file("dir.92i/pic.89i"))[5], '9');

    // The comment names the bitmap's own file name, at most 35 characters of it.
    std::string windows_name = put(testing::bmp_file(kSmall), "C:\\pics\\sunset.bmp");
    ASSERT_EQ(run({dir.file("s.89i"), windows_name}).status, 0);
    EXPECT_EQ(testing::text_field(testing::read_file(dir.file("s.89i")), 18, 40),
              "From sunset.bmp");
    std::string long_name = put(testing::bmp_file(kSmall), std::string(36, 'b') + ".bmp");
    ASSERT_EQ(run({dir.file("l.89i"), long_name}).status, 0);
    EXPECT_EQ(testing::text_field(testing::read_file(dir.file("l.89i")), 18, 40),
              "From " + std::string(35, 'b'));
}

TEST_F(PixelpressTest, NamingSwitches) {
    std::string bmp = put(testing::bmp_file(kSmall));
    std::string out = dir.file("pic.89i");
    ProgramResult result = run({out, bmp, "/N", "sunset", "/F", "photos", "/C", "Evening", "/L"});
    EXPECT_EQ(result.status, 0);
    Bytes file = testing::read_file(out);
    EXPECT_EQ(testing::text_field(file, 64, 8), "sunset");
    EXPECT_EQ(testing::text_field(file, 10, 8), "photos");
    EXPECT_EQ(testing::text_field(file, 18, 40), "Evening");
    EXPECT_EQ(file[73], 1);
    EXPECT_EQ(run({out, bmp, "/a"}).status, 0);
    EXPECT_EQ(testing::read_file(out)[73], 3);

    // A refused name is reported and the name still comes from the path.
    result = run({out, "/N", "9pic", bmp});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Not a valid filename: 9pic\n" + bmp + " image copied to " + out + ".\n");
    EXPECT_EQ(testing::text_field(testing::read_file(out), 64, 8), "pic");
}

TEST_F(PixelpressTest, FromTheClipboard) {
    Pixels image = testing::pattern(9, 21);
    DeviceBitmap bitmap{0, 21, 9, 4, 1, 1, {}};
    for (const std::string& line : image) {
        Bytes row = testing::pack_rows({line});
        for (std::uint8_t byte : row) {
            bitmap.bits.push_back(static_cast<std::uint8_t>(~byte));
        }
        bitmap.bits.push_back(0);
    }
    clipboard.dib = synthesize_dib(bitmap);
    std::string out = dir.file("clip.92i");
    ProgramResult result = run({out});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Clipboard image copied to " + out + ".\n");
    Bytes file = testing::read_file(out);
    EXPECT_EQ(pixels_of(file), image);
    EXPECT_EQ(testing::text_field(file, 18, 40), "From clipboard");
    EXPECT_EQ(clipboard.calls, (std::vector<std::string>{"open", "get_dib", "close"}));

    // Bitmaps refused by name of the clipboard.
    bitmap.width = 240;
    bitmap.row_length = 30;
    bitmap.bits.assign(30 * 9, 0);
    clipboard.dib = synthesize_dib(bitmap);
    (*clipboard.dib)[14] = 24;
    result = run({out});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: Clipboard is not a 239x103 or less monochrome bitmap.\n");
    clipboard.dib->resize(20);
    EXPECT_EQ(run({out}).err, "Error: Clipboard is not a bitmap.\n");
    EXPECT_EQ(pixels_of(testing::read_file(out)), image) << "the earlier file stays";

    clipboard.dib.reset();
    result = run({out});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "Error: Unable to get clipboard data.\nError: Unable to create bitmap.\n");
    clipboard.fail_open = true;
    EXPECT_EQ(run({dir.file("new.89i")}).err,
              "Error: Unable to open clipboard.\nError: Unable to create bitmap.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.89i")));
}

TEST_F(PixelpressTest, FilesThatCannotBeOpened) {
    std::string bmp = put(testing::bmp_file(kSmall));
    ProgramResult result = run({dir.file("p.89i"), dir.file("missing.bmp")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: Can't open " + dir.file("missing.bmp") + ".\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("p.89i")));
    result = run({dir.file("none/p.89i"), bmp});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: Can't open file \"" + dir.file("none/p.89i") + "\".\n");
}

TEST_F(PixelpressTest, CommandLine) {
    ProgramResult result = run({"/?"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kUsage);
    for (std::vector<std::string> args : {std::vector<std::string>{"a.89i", "b.bmp", "c.bmp"},
                                          std::vector<std::string>{"a.89i", "b.bmp", "/N"},
                                          std::vector<std::string>{"a.89i", "/X"}}) {
        result = run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, kUsage);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(clipboard.calls.empty());
    }
}

}  // namespace
}  // namespace varkit
