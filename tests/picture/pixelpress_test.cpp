// Pixelpress run in-process: the bitmap checks, the rows, the header and the
// file it writes, from BMP files and from the in-memory clipboard.
#include "picture_import/pixelpress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "picture_export/picture_images.h"
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
    auto larger = [&](const std::string& size, const std::string& limit) {
        return "Error: " + dir.file("in.bmp") + " is " + size + " pixels, larger than " + limit +
               " (--fit scales it down).\n";
    };
    auto damaged = [&](const std::string& format, const std::string& why) {
        return "Error: " + dir.file("in.bmp") + " is a damaged " + format + " image: " + why +
               ".\n";
    };
    auto as_bytes = [](const std::string& text) { return Bytes(text.begin(), text.end()); };
    CalculatorPicture small{{2, 3}, testing::pack_rows(kSmall)};
    Bytes png = *png_of_picture(small);
    Bytes rle8_cut = testing::bmp_file(kSmall, {.bits_per_pixel = 8, .compression = 1});
    rle8_cut.resize(64);  // one run, then nothing
    Bytes sound = testing::bmp_file(testing::pattern(4, 20));
    Bytes cut = sound;
    cut.resize(cut.size() - 4);
    // Headers of 65000 x 65000 pixels (16384 x 16384 for WebP) in a few bytes,
    // and a JPEG without its tables.
    const Bytes huge_jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0xFD, 0xE8, 0xFD, 0xE8, 1, 1,
                             0x11, 0,    0xFF, 0xDA, 0, 8,  1, 1,    0,    0,    63,   0};
    Bytes small_jpeg = huge_jpeg;
    small_jpeg[7] = small_jpeg[9] = 0;
    small_jpeg[8] = small_jpeg[10] = 3;
    Bytes huge_gif = as_bytes("GIF89a");
    huge_gif.insert(huge_gif.end(), {0xE8, 0xFD, 0xE8, 0xFD, 0, 0, 0, 0x2C, 0, 0, 0, 0, 0xE8, 0xFD,
                                     0xE8, 0xFD, 0, 2});
    const Bytes huge_webp =
        as_bytes(std::string("RIFF\x12\0\0\0WEBPVP8L\x05\0\0\0\x2F\xFF\xFF\xFF\x0F\0", 26));
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
        {"1-bit 2^40 pixels", testing::bmp_file(kSmall, {.width = 1 << 20, .height = 1 << 20}),
         not_mono},
        {"3-bit", testing::bmp_file(kSmall, {.bits_per_pixel = 3}), not_mono},
        {"RLE of 1 bit", testing::bmp_file(kSmall, {.compression = 2}), not_mono},
        {"JPEG inside", testing::bmp_file(kSmall, {.compression = 4}), not_mono},
        {"top-down RLE8",
         testing::bmp_file(kSmall, {.top_down = true, .bits_per_pixel = 8, .compression = 1}),
         not_mono},
        {"24-bit 240 wide", testing::bmp_file(testing::pattern(2, 240), {.bits_per_pixel = 24}),
         larger("240x2", "239x103")},
        {"PBM 104 high", testing::pbm_file(testing::pattern(104, 8)), larger("8x104", "239x103")},
        {"PBM of 2^40 pixels", as_bytes("P4 1048576 1048576\n"),
         larger("1048576x1048576", "239x103")},
        {"PNG cut short", Bytes(png.begin(), png.begin() + 40), damaged("PNG", "")},
        {"PGM header cut", as_bytes("P2 3"), damaged("netpbm", "its header is incomplete")},
        {"PGM maximum 0", as_bytes("P2 1 1 0 0"),
         damaged("netpbm", "its maximum sample value is not 1 to 65535")},
        {"PGM sample above maximum", as_bytes("P2 1 1 10 11"),
         damaged("netpbm", "a sample lies above its maximum value")},
        {"PPM rows cut", as_bytes("P6 2 2 255\n12345"), ends_early},
        {"plain PBM rows cut", as_bytes("P1 2 2 1 0 1"), ends_early},
        {"RLE8 cut short", rle8_cut, ends_early},
        {"JPEG of 65000x65000", huge_jpeg, larger("65000x65000", "239x103")},
        {"GIF of 65000x65000", huge_gif, larger("65000x65000", "239x103")},
        {"WebP of 16384x16384", huge_webp, larger("16384x16384", "239x103")},
        {"JPEG without tables", small_jpeg, damaged("JPEG", "")},
        {"GIF header only", as_bytes("GIF89a"), damaged("GIF", "")},
        {"RIFF but no WebP", as_bytes(std::string("RIFF\x12\0\0\0WAVE", 12)), not_bitmap},
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
        if (c.err.ends_with(": .\n")) {  // libpng's own words follow
            EXPECT_TRUE(result.err.starts_with(c.err.substr(0, c.err.size() - 2))) << result.err;
        } else {
            EXPECT_EQ(result.err, c.err) << c.what;
        }
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
    result = run({out});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: Clipboard is not a 239x103 or less monochrome bitmap.\n");
    // Any depth comes through: 24 bits, rows bottom-up, no colour table.
    Bytes dib(40, 0);
    dib[0] = 40, dib[4] = 2, dib[8] = 1, dib[12] = 1, dib[14] = 24;
    dib.insert(dib.end(), {0x20, 0x20, 0x20, 0xF0, 0xF0, 0xF0, 0, 0});
    clipboard.dib = dib;
    ASSERT_EQ(run({dir.file("deep.89i")}).status, 0);
    EXPECT_EQ(pixels_of(testing::read_file(dir.file("deep.89i"))), Pixels{"#."});
    // An OS/2 block: colours of three bytes, here white first.
    clipboard.dib = {12,   0,    0, 0, 3, 0,    2, 0, 1, 0,    1, 0, 0xFF,
                     0xFF, 0xFF, 0, 0, 0, 0x40, 0, 0, 0, 0xA0, 0, 0, 0};
    ASSERT_EQ(run({dir.file("os2.89i")}).status, 0);
    EXPECT_EQ(pixels_of(testing::read_file(dir.file("os2.89i"))), kSmall);
    clipboard.dib = synthesize_dib(bitmap);
    (*clipboard.dib)[14] = 3;
    EXPECT_EQ(run({out}).err, "Error: Clipboard is not a 239x103 or less monochrome bitmap.\n");
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

TEST_F(PixelpressTest, ThresholdDitherAndFit) {
    std::string out = dir.file("out.89i");
    struct Case {
        const char* what;
        Bytes image;
        std::vector<std::string> options;
        Pixels expected;
    };
    const Bytes greys = {0, 100, 127, 128, 200, 255};
    const Pixels doubled = testing::pattern(103, 239);
    Pixels twice;
    for (const std::string& line : doubled) {
        std::string wide;
        for (char c : line) {
            wide += std::string(2, c);
        }
        twice.insert(twice.end(), 2, wide);
    }
    const Case cases[] = {
        {"default 128", testing::pgm_file(6, 1, greys), {}, {"###..."}},
        {"threshold 101", testing::pgm_file(6, 1, greys), {"--threshold=101"}, {"##...."}},
        {"threshold 0", testing::pgm_file(6, 1, greys), {"--threshold=0"}, {"......"}},
        {"threshold 255", testing::pgm_file(6, 1, greys), {"--threshold=255"}, {"#####."}},
        // A two-coloured image keeps its own dark colour.
        {"PBM, threshold 0", testing::pbm_file(kSmall), {"--threshold=0"}, kSmall},
        {"PBM, dither", testing::pbm_file(kSmall), {"--dither"}, kSmall},
        // Mid grey dithers to alternate pixels; the error carries along the row.
        {"dither", testing::pgm_file(4, 2, Bytes(8, 128)), {"--dither"}, {".#.#", "#.#."}},
        {"fit halves", testing::pbm_file(twice), {"--fit"}, doubled},
        {"fit keeps a small image", testing::pbm_file(kSmall), {"--fit"}, kSmall},
        {"fit a wide line",
         testing::pgm_file(1000, 10, Bytes(10000, 0)),
         {"--fit"},
         Pixels(2, std::string(239, '#'))},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {out, put(c.image)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ProgramResult result = run(args);
        ASSERT_EQ(result.status, 0) << c.what << ": " << result.err;
        EXPECT_EQ(pixels_of(testing::read_file(out)), c.expected) << c.what;
    }
    // A quarter grey dithers to about three pixels on in four.
    ASSERT_EQ(run({out, put(testing::pgm_file(32, 32, Bytes(1024, 64))), "--dither"}).status, 0);
    Pixels dithered = pixels_of(testing::read_file(out));
    long on = 0;
    for (const std::string& line : dithered) {
        on += std::count(line.begin(), line.end(), '#');
    }
    EXPECT_NEAR(on, 768, 24);
    // Refused, also with --fit.
    ProgramResult result = run({out, put(testing::pbm_file(testing::pattern(2, 240)))});
    EXPECT_EQ(result.err, "Error: " + dir.file("in.bmp") +
                              " is 240x2 pixels, larger than 239x103 (--fit scales it down).\n");
    result = run(
        {out, put(Bytes{'P', '4', ' ', '9', '9', '9', '9', '9', ' ', '9', '9', '9', '9', '9', ' '}),
         "--fit"});
    EXPECT_EQ(result.err, "Error: " + dir.file("in.bmp") +
                              " is 99999x99999 pixels, too large to scale down.\n");
    // --fit reads at most 2048 x 2048 pixels, refused by the header beyond.
    const std::string beyond = "P4 2049 2048 ";
    result = run({out, put(Bytes(beyond.begin(), beyond.end())), "--fit"});
    EXPECT_EQ(result.err,
              "Error: " + dir.file("in.bmp") + " is 2049x2048 pixels, too large to scale down.\n");
}

TEST_F(PixelpressTest, Ti83PlusPictures) {
    // Bart's rows through a PBM come back as the very file a calculator wrote.
    std::string bart = testing::sample_path("calculator/BartSimpson.8xi");
    if (!bart.empty()) {
        Bytes sample = testing::read_file(bart);
        Pixels rows = testing::unpack_rows(Bytes(sample.begin() + 74, sample.end() - 2), 63, 96);
        std::string out = dir.file("bart.8xi");
        ASSERT_EQ(run({out, put(testing::pbm_file(rows)), "/N", "Pic2", "/C",
                       "Picture file dated 06/15/03, 09:45"})
                      .status,
                  0);
        EXPECT_EQ(testing::read_file(out), sample);
    }
    struct Case {
        std::string ti_name;
        std::vector<std::string> switches;
        std::uint8_t number;  // the name token's second byte
        std::uint8_t flag;
        std::string err;
    };
    const Case cases[] = {
        {"x.8xi", {}, 0, 0, ""},
        {"pic3.8xi", {}, 2, 0, ""},
        {"x.8xi", {"/N", "PIC0", "/A"}, 9, 0x80, ""},
        {"x.8xi", {"/N", "sunset"}, 0, 0, "Not a valid filename: sunset\n"},
    };
    for (const Case& c : cases) {
        std::string out = dir.file(c.ti_name);
        std::vector<std::string> args = {out, put(testing::bmp_file(kSmall))};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        ProgramResult result = run(args);
        EXPECT_EQ(result.status, c.err.empty() ? 0 : 1) << c.ti_name;
        EXPECT_EQ(result.err, c.err + dir.file("in.bmp") + " image copied to " + out + ".\n");
        Bytes file = testing::read_file(out);
        ASSERT_EQ(file.size(), 832u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 11), std::string("**TI83F*\x1a\n", 11));
        EXPECT_EQ(testing::text_field(file, 11, 42), "From in.bmp");
        EXPECT_EQ(file[61], c.number) << c.ti_name;
        EXPECT_EQ(file[69], c.flag) << c.ti_name;
        // The picture in the top left corner of the screen, the rest off.
        Pixels screen(63, std::string(96, '.'));
        screen[0].replace(0, 3, kSmall[0]);
        screen[1].replace(0, 3, kSmall[1]);
        EXPECT_EQ(testing::unpack_rows(Bytes(file.begin() + 74, file.end() - 2), 63, 96), screen);
    }
    ProgramResult result =
        run({dir.file("big.8xi"), put(testing::pbm_file(testing::pattern(2, 97)))});
    EXPECT_EQ(result.err, "Error: " + dir.file("in.bmp") +
                              " is 97x2 pixels, larger than 96x63 (--fit scales it down).\n");
    ASSERT_EQ(run({dir.file("fit.8xi"), put(testing::pbm_file(Pixels(126, std::string(192, '#')))),
                   "--fit"})
                  .status,
              0);
    Bytes fitted = testing::read_file(dir.file("fit.8xi"));
    EXPECT_EQ(Bytes(fitted.begin() + 74, fitted.end() - 2), Bytes(756, 0xFF));
}

TEST_F(PixelpressTest, CommandLine) {
    ProgramResult result = run({"/?"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kUsage);
    // A wrong long option is named in one line before the usage text.
    const std::string takes_number = "Error: --threshold takes a number from 0 to 255";
    for (const auto& [args, error] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"a.89i", "b.bmp", "c.bmp"}, ""},
             {{"a.89i", "b.bmp", "/N"}, ""},
             {{"a.89i", "/X"}, ""},
             {{"a.89i", "--threshold"}, takes_number + ".\n"},
             {{"a.89i", "--threshold="}, takes_number + ", not \"\".\n"},
             {{"a.89i", "--threshold=256"}, takes_number + ", not \"256\".\n"},
             {{"a.89i", "--threshold=-1"}, takes_number + ", not \"-1\".\n"},
             {{"a.89i", "--threshold=12x"}, takes_number + ", not \"12x\".\n"},
             {{"a.89i", "--dither=yes"}, "Error: --dither takes no value, not \"yes\".\n"},
             {{"a.89i", "--fit=1"}, "Error: --fit takes no value, not \"1\".\n"},
             {{"a.89i", "--format=png"}, "Error: unknown option \"--format=png\".\n"}}) {
        result = run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, kUsage);
        EXPECT_EQ(result.err, error);
        EXPECT_TRUE(clipboard.calls.empty());
    }
}

}  // namespace
}  // namespace varkit
