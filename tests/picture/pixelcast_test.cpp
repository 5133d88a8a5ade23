// Pixelcast run in-process against the in-memory clipboard: every model's
// layout, the console picture, each clipboard step and its failure.
#include "picture_export/pixelcast.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <filesystem>

#include "tests/picture/picture_test_files.h"
#include "tests/support/fake_platform.h"
#include "tests/support/program_run.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::Pixels;
using testing::ProgramResult;

const char kUsage[] =
    "Pixelcast v1.0\n"
    "Copies a TI[81,82,83,85,86,89,92,92+] picture file to the clipboard and\n"
    "optionally to a bitmap file.\n"
    "\n"
    "Pixelcast TIfile  [BMPfile] [/S[#]] [/Fx] [/Bx]\n"
    "\n"
    "  /S     Shows picture in console, long lines are truncated. If S is followed\n"
    "         by a number the image will be shown to that column. This is useful if\n"
    "         redirecting to a file. /SF will write full width.\n"
    "  /F     Change console image foreground character.\n"
    "  /B     Change console image background character.\n"
    "\n"
    "\n";

// The console character set for one test.
class Locale {
  public:
    explicit Locale(const char* name) { std::setlocale(LC_CTYPE, name); }
    ~Locale() { std::setlocale(LC_CTYPE, "C"); }
};

class PixelcastTest : public ::testing::Test {
  protected:
    std::string put(const Bytes& bytes, const std::string& name = "pic.89i") {
        std::string path = dir.file(name);
        testing::write_file(path, bytes);
        return path;
    }
    ProgramResult run(const std::vector<std::string>& args) {
        return testing::run_in_process(pixelcast_main, args, clipboard);
    }
    // What the clipboard holds, as pixels.
    Pixels placed() const { return clipboard.dib ? testing::dib_pixels(*clipboard.dib) : Pixels{}; }

    testing::FakePlatform clipboard;
    testing::TempDir dir;
};

TEST_F(PixelcastTest, EveryCalculatorsLayout) {
    Pixels screen83 = testing::pattern(63, 96);
    Pixels screen86 = testing::pattern(63, 128);
    Bytes rows83 = testing::pack_rows(screen83);
    Bytes rows86 = testing::pack_rows(screen86);
    struct Case {
        const char* what;
        Bytes file;
        Pixels expected;
    };
    const Case cases[] = {
        // Older models: the type code at 59 is checked, no checksum.
        {"TI-81", testing::older_picture_file("**TI81**", 0, 72, rows83), screen83},
        {"TI-82", testing::older_picture_file("**TI82**", 99, 72, rows83), screen83},
        {"TI-83", testing::older_picture_file("**TI83**", 11, 72, rows83), screen83},
        // 61 past the entry header length at 55: 12 gives 73.
        {"TI-85", testing::older_picture_file("**TI85**", 12, 73, rows86, 0x11), screen86},
        {"TI-86", testing::older_picture_file("**TI86**", 20, 81, rows86, 0x11), screen86},
        // The TI-83 Plus entry header is two bytes longer than the TI-83's.
        {"TI-83 Plus", testing::older_picture_file("**TI83F*", 13, 74, rows83), screen83},
        {"TI-89", testing::picture_file(testing::pattern(5, 100)), testing::pattern(5, 100)},
        {"TI-92", testing::picture_file(testing::pattern(103, 239), "**TI92**"),
         testing::pattern(103, 239)},
        {"TI-92 Plus", testing::picture_file(testing::pattern(2, 3), "**TI92P*"),
         testing::pattern(2, 3)},
        // Any size whose rows the file holds.
        {"wider than a screen", testing::picture_file(testing::pattern(120, 300)),
         testing::pattern(120, 300)},
    };
    for (const Case& c : cases) {
        clipboard.dib.reset();
        ProgramResult result = run({put(c.file)});
        EXPECT_EQ(result.status, 0) << c.what;
        EXPECT_EQ(result.out, "\n") << c.what;
        EXPECT_EQ(result.err, "Image copied to clipboard.\n") << c.what;
        EXPECT_EQ(placed(), c.expected) << c.what;
    }
    std::string bart = testing::sample_path("calculator/BartSimpson.8xi");
    if (!bart.empty()) {
        Bytes file = testing::read_file(bart);
        ASSERT_EQ(run({bart}).status, 0);
        EXPECT_EQ(placed(), testing::unpack_rows(Bytes(file.begin() + 74, file.end()), 63, 96));
    }
}

TEST_F(PixelcastTest, ConsolePicture) {
    std::string small = put(testing::picture_file({"#.#", ".#."}), "small.89i");
    EXPECT_EQ(run({small, "/S", "/F*", "/B."}).out, "\n*.*\n.*.\n");
    EXPECT_EQ(run({small, "-s", "-b."}).out, "\n\xDB.\xDB\n.\xDB.\n") << "C locale: bytes";
    EXPECT_EQ(run({small, "/S", "/F"}).out, std::string("\n\0 \0\n \0 \n", 9));
    EXPECT_EQ(run({small}).out, "\n");

    std::string wide = put(testing::picture_file(Pixels(2, std::string(96, '#'))), "wide.89i");
    auto shown = [&](std::vector<std::string> switches) {
        switches.insert(switches.begin(), wide);
        switches.push_back("/F*");
        std::string out = run(switches).out;
        return out.substr(0, out.find('\n', 1) + 1);  // the first row
    };
    EXPECT_EQ(shown({"/S"}), "\n" + std::string(79, '*') + ">\n");
    EXPECT_EQ(shown({"/SF"}), "\n" + std::string(96, '*') + "\n");
    EXPECT_EQ(shown({"/S100"}), "\n" + std::string(96, '*') + "\n");
    EXPECT_EQ(shown({"/S96"}), "\n" + std::string(96, '*') + "\n");
    EXPECT_EQ(shown({"/S95"}), "\n" + std::string(95, '*') + ">\n");
    EXPECT_EQ(shown({"/S0"}), "\n>\n");
    EXPECT_EQ(shown({"/SX"}), "\n" + std::string(79, '*') + ">\n");
    EXPECT_EQ(shown({"/S50", "/SX"}), "\n" + std::string(50, '*') + ">\n");
    EXPECT_EQ(shown({"/S99999999999999999999"}), "\n" + std::string(96, '*') + "\n");

    std::string wider = put(testing::picture_file(Pixels(1, std::string(300, '#'))), "300.89i");
    EXPECT_EQ(run({wider, "/SF", "/F*"}).out, "\n" + std::string(240, '*') + ">\n");
}

TEST_F(PixelcastTest, Utf8ConsoleDrawsCodePage437AsUtf8) {
    Locale utf8("C.UTF-8");
    std::string small = put(testing::picture_file({"#."}), "small.89i");
    EXPECT_EQ(run({small, "/S"}).out, "\n\u2588 \n");
    // One UTF-8 character is taken; a byte that begins none is code page 437.
    EXPECT_EQ(run({small, "/S", "/F\u00e9t", "/B\u2591"}).out, "\n\u00e9\u2591\n");
    EXPECT_EQ(run({small, "/S", "/F\xDB", "/B\xB0"}).out, "\n\u2588\u2591\n");
    EXPECT_EQ(run({small, "/S", "/F*", "/B"}).out, std::string("\n*\0\n", 4));
}

TEST_F(PixelcastTest, FilesThatAreNotPictures) {
    struct Case {
        const char* what;
        Bytes file;
        std::string err;
    };
    Bytes picture = testing::picture_file(testing::pattern(2, 8));
    Bytes text = picture;
    text[72] = 11;
    Bytes short_89 = testing::picture_file(testing::pattern(4, 16));
    short_89.resize(short_89.size() - 4);  // the tag, the checksum and the last row's last byte
    Bytes short_83 = testing::older_picture_file("**TI83**", 0, 72, Bytes(755, 0));
    short_83.resize(72 + 755);
    const std::string ends_early = "Error: File ends before the picture's last row.\n";
    const Case cases[] = {
        {"not a picture", text, "Error: Not a picture file.\n"},
        {"header cut short", Bytes(text.begin(), text.begin() + 60),
         "Error: Not a picture file.\n"},
        {"no model number", Bytes(100, '*'), "Error: Unrecognized file type."},
        {"TI-73", testing::older_picture_file("**TI73**", 0, 72, Bytes(756)),
         "Error: Unrecognized file type."},
        {"rows cut short", short_89, ends_early},
        {"TI-83 rows cut short", short_83, ends_early},
        {"TI-86 without its entry header", testing::older_picture_file("**TI86**", 0, 60, {}, 0x11),
         ends_early},
        {"TI-86 string", testing::older_picture_file("**TI86**", 12, 73, Bytes(1008), 0x0C),
         "Error: Not a picture file.\n"},
        {"TI-83 Plus program", testing::older_picture_file("**TI83F*", 13, 74, Bytes(756), 0x05),
         "Error: Not a picture file.\n"},
        {"TI-82 cut before its type", Bytes{'*', '*', 'T', 'I', '8', '2'},
         "Error: Not a picture file.\n"},
        {"no size words", Bytes(picture.begin(), picture.begin() + 90), ends_early},
        {"0 x 0", testing::picture_file("**TI89**", 0, 0, {}),
         "Error: Empty picture (0 rows, 0 columns).\n"},
        {"65535 x 65535", testing::picture_file("**TI89**", 65535, 65535, Bytes(100)),
         "Error: A picture of 65535 rows and 65535 columns is larger than a variable.\n"},
    };
    for (const Case& c : cases) {
        clipboard.calls.clear();
        ProgramResult result = run({put(c.file), "/S"});
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.err, c.err) << c.what;
        EXPECT_EQ(result.out, "") << c.what;
        EXPECT_TRUE(clipboard.calls.empty()) << c.what;
    }
    for (const char* sample :
         {"calculator/group.89g", "calculator/group.83g", "calculator/prgm.86p"}) {
        std::string path = testing::sample_path(sample);
        if (!path.empty()) {
            EXPECT_EQ(run({path}).err, "Error: Not a picture file.\n") << sample;
        }
    }
}

TEST_F(PixelcastTest, OpeningTheFile) {
    Bytes file = testing::picture_file({"#"});
    file[8] = 2;  // a newer format only warns
    std::string path = put(file);
    ::chmod(path.c_str(), 0444);  // only read, so read-only is no obstacle
    ProgramResult result = run({path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "WARNING!! This file appears to have a newer format than what this program\n"
              "was written for.\nImage copied to clipboard.\n");

    for (const std::string& name : {dir.file("missing.89i"), dir.path().string()}) {
        result = run({name});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Can't open file \"" + name + "\".\n");
    }
    // No arguments: no usage text, the empty name fails to open.
    result = run({});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Can't open file \"\".\n");
}

TEST_F(PixelcastTest, ClipboardStepsAndTheBmpFile) {
    std::string picture = put(testing::picture_file({"#..", ".#."}));
    std::string bmp = dir.file("out.bmp");
    ProgramResult result = run({picture, bmp});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Image copied to clipboard.\nImage copied to " + bmp + ".\n");
    EXPECT_EQ(clipboard.calls,
              (std::vector<std::string>{"create_bitmap", "open", "empty", "set_bitmap", "close",
                                        "open", "get_dib", "close"}));
    Bytes saved = testing::read_file(bmp);
    EXPECT_EQ(testing::dib_pixels(Bytes(saved.begin() + 14, saved.end())), (Pixels{"#..", ".#."}));

    // Each failing step prints its line; the BMP step still reads the
    // clipboard and saves this run's own picture, never the one the clipboard
    // held before.
    struct Case {
        bool testing::FakePlatform::*fail;
        std::string err;
        std::vector<std::string> calls;
    };
    const std::string saved_line = "Image copied to " + bmp + ".\n";
    const Case cases[] = {
        {&testing::FakePlatform::fail_create_bitmap,
         "Error: Unable to create bitmap.\n" + saved_line,
         {"create_bitmap", "open", "get_dib", "close"}},
        {&testing::FakePlatform::fail_empty,
         "Error: Unable to empty clipboard.\n" + saved_line,
         {"create_bitmap", "open", "empty", "close", "open", "get_dib", "close"}},
        // Emptied, then not set: nothing left to save, and the file stays.
        {&testing::FakePlatform::fail_set,
         "Error: Unable to set clipboard data.\nError: Unable to get clipboard data.\n",
         {"create_bitmap", "open", "empty", "set_bitmap", "close", "open", "get_dib", "close"}},
    };
    std::string other = put(testing::picture_file({"##"}), "other.89i");
    for (const Case& c : cases) {
        testing::FakePlatform failing;
        failing.dib = clipboard.dib;  // the earlier picture
        failing.*c.fail = true;
        result = testing::run_in_process(pixelcast_main, {other, bmp}, failing);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "\n");
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(failing.calls, c.calls);
    }
    saved = testing::read_file(bmp);
    EXPECT_EQ(testing::dib_pixels(Bytes(saved.begin() + 14, saved.end())), (Pixels{"##"}));

    // With the clipboard closed to us, an older BMP file stays as it was.
    testing::FakePlatform closed;
    closed.fail_open = true;
    result = testing::run_in_process(pixelcast_main, {other, bmp}, closed);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error: Unable to open clipboard.\nError: Unable to open clipboard.\n");
    EXPECT_EQ(testing::read_file(bmp), saved);
    EXPECT_EQ(testing::list_dir(dir.path().string()),
              (std::vector<std::string>{"other.89i", "out.bmp", "pic.89i"}));
}

// PNG and PBM files come from the picture's own rows, read back by PIL and
// netpbm; the name's extension or --format chooses, BMP otherwise, with a
// warning for a name of a format the program does not write.
TEST_F(PixelcastTest, ImageFilesOfEveryFormat) {
    const Pixels image = testing::pattern(7, 13);
    Bytes file = testing::picture_file(image);
    file[92 + 1] |= 0x07;  // bits past the last column are no pixels
    std::string picture = put(file);
    struct Case {
        std::string name;
        std::vector<std::string> options;
        std::string magic;
        bool warned = false;
    };
    const Case cases[] = {
        {"out.png", {}, "\x89PNG"},
        {"OUT.PNG", {}, "\x89PNG"},
        {"out.pbm", {}, "P4\n13 7\n"},
        {"out.bmp", {}, "BM"},
        {"out.png.txt", {}, "BM"},
        {"out", {"--format=pbm"}, "P4"},
        {"out.png", {"--format=BMP"}, "BM"},
        {"out.bmp", {"--no-clipboard"}, "BM"},
        {"out.png", {"--no-clipboard"}, "\x89PNG"},
        {"out.jpg", {}, "BM", true},
        {"OUT.TIFF", {}, "BM", true},
        {"out.gif", {"--no-clipboard"}, "BM", true},
        {"out.webp", {"--format=bmp"}, "BM"},
    };
    for (const Case& c : cases) {
        std::string out = dir.file(c.name);
        std::vector<std::string> args = {picture, out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        clipboard.calls.clear();
        ProgramResult result = run(args);
        EXPECT_EQ(result.status, 0) << c.name;
        // --no-clipboard leaves the clipboard untouched and says nothing of it.
        const bool untouched = !c.options.empty() && c.options[0] == "--no-clipboard";
        const std::string warning =
            c.warned ? "Warning: " + out + " is written as a BMP image; use .png, .pbm or .bmp.\n"
                     : "";
        EXPECT_EQ(result.err, std::string(untouched ? "" : "Image copied to clipboard.\n") +
                                  warning + "Image copied to " + out + ".\n");
        EXPECT_EQ(clipboard.calls.empty(), untouched) << c.name;
        Bytes written = testing::read_file(out);
        EXPECT_EQ(std::string(written.begin(), written.begin() + c.magic.size()), c.magic);
        bool available = false;
        EXPECT_EQ(testing::read_image(out, &available), image) << c.name << " by PIL";
        EXPECT_TRUE(available) << "no image reader: /usr/bin/python3 with PIL (python3-pil)";
        EXPECT_EQ(testing::read_with_netpbm(out), image) << c.name << " by netpbm (netpbm)";
        std::filesystem::remove(out);
    }
    // A PNG of 1-bit grey (IHDR: bit depth 1, colour type 0), and a PBM of
    // the rows as they are, bits past the last column cleared.
    ASSERT_EQ(run({picture, dir.file("a.png")}).status, 0);
    Bytes png = testing::read_file(dir.file("a.png"));
    EXPECT_EQ(png.at(24), 1);
    EXPECT_EQ(png.at(25), 0);
    Bytes pbm = testing::pbm_file(image);
    // A picture sent into a pipe is not also put on the clipboard.
    clipboard.calls.clear();
    ProgramResult piped = run({picture, "-", "--format=pbm"});
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, std::string(pbm.begin(), pbm.end())) << "standard output: the image only";
    EXPECT_EQ(piped.err, "Image copied to standard output.\n");
    EXPECT_TRUE(clipboard.calls.empty());
    // To standard output a BMP file is the one a file name would get.
    ASSERT_EQ(run({picture, dir.file("a.bmp")}).status, 0);
    Bytes bmp = testing::read_file(dir.file("a.bmp"));
    EXPECT_EQ(run({picture, "-"}).out, std::string(bmp.begin(), bmp.end()));
    EXPECT_EQ(run({picture, "-", "--format=png"}).out, std::string(png.begin(), png.end()));

    ProgramResult refused = run({picture, "-", "/S"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Error: /S and the output \"-\" both need standard output.\n");
    EXPECT_EQ(refused.out, "");
    for (const char* format : {"--format=gif", "--format", "--format="}) {
        EXPECT_EQ(run({picture, "-", format}).status, 2) << format;
    }
    ProgramResult no_folder = run({picture, dir.file("none/a.png")});
    EXPECT_EQ(no_folder.status, 1);
    EXPECT_EQ(no_folder.err,
              "Image copied to clipboard.\nCan't open file \"" + dir.file("none/a.png") + "\".\n");
}

TEST_F(PixelcastTest, CommandLine) {
    std::string picture = put(testing::picture_file({"#"}));
    ProgramResult result = run({"/?"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kUsage);
    EXPECT_EQ(result.err, "");
    for (std::vector<std::string> args : {std::vector<std::string>{picture, "a.bmp", "b.bmp"},
                                          std::vector<std::string>{picture, "/Q"}}) {
        result = run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, kUsage);
        EXPECT_TRUE(clipboard.calls.empty());
    }
    // An empty name before the picture turns on saving and leaves the BMP name
    // to the next one.
    result = run({"", picture, dir.file("late.bmp")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "Image copied to clipboard.\nImage copied to " + dir.file("late.bmp") + ".\n");
    // After the picture, an empty name saves to the empty name, which fails.
    result = run({picture, ""});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Image copied to clipboard.\nCan't open file \"\".\n");
}

}  // namespace
}  // namespace varkit
