// The built Pixelcast and Pixelpress on real calculator pictures and on
// bitmaps of a real image library, through the shared headless clipboard
// folder; BMP files read back by PIL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/picture/picture_test_files.h"
#include "tests/support/program_run.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::Pixels;
using testing::ProgramResult;
using testing::run_executable;

class PictureEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directory(dir.file("scratch")); }
    // Every run gets the test's own clipboard folder and scratch folder.
    std::vector<std::string> env(const std::string& backend = "files") const {
        return {"VARKIT_CLIPBOARD=" + backend, "VARKIT_CLIPBOARD_DIR=" + dir.file("clipboard"),
                "TMPDIR=" + dir.file("scratch"), "DISPLAY=", "LC_ALL=C"};
    }
    ProgramResult run(const std::string& program, const std::vector<std::string>& args,
                      const std::string& backend = "files") {
        return run_executable(program, args, env(backend));
    }
    Pixels read_bmp(const std::string& path) {
        bool available = false;
        Pixels pixels = testing::read_image(path, &available);
        if (!available) {
            ADD_FAILURE() << "no image reader: /usr/bin/python3 with PIL (python3-pil)";
        }
        return pixels;
    }

    testing::TempDir dir;
};

// Every picture sample: Pixelcast -> BMP (read back by PIL) -> Pixelpress, and
// clipboard -> Pixelpress, to the same rows.
TEST_F(PictureEndToEnd, SamplesRoundTrip) {
    struct Sample {
        const char* path;
        std::size_t first_row;
    };
    int found = 0;
    for (Sample sample : {Sample{"written-by-libtifiles/pic.89i", 92},
                          Sample{"written-by-libtifiles/group.pic.92i", 92},
                          Sample{"calculator/BartSimpson.8xi", 74}}) {
        std::string path = testing::sample_path(sample.path);
        if (path.empty()) {
            continue;
        }
        ++found;
        Bytes source = testing::read_file(path);
        bool stored_size = sample.first_row == 92;
        std::size_t rows = stored_size ? source[88] << 8 | source[89] : 63;
        std::size_t columns = stored_size ? source[90] << 8 | source[91] : 96;
        Bytes source_rows(
            source.begin() + static_cast<long>(sample.first_row),
            source.begin() + static_cast<long>(sample.first_row + rows * ((columns + 7) / 8)));

        std::string bmp = dir.file("out.bmp");
        ProgramResult cast = run("Pixelcast", {path, bmp});
        EXPECT_EQ(cast.status, 0) << sample.path;
        EXPECT_EQ(cast.out, "\n");
        EXPECT_EQ(cast.err, "Image copied to clipboard.\nImage copied to " + bmp + ".\n");
        EXPECT_EQ(read_bmp(bmp), testing::unpack_rows(source_rows, rows, columns)) << sample.path;

        for (std::vector<std::string> args : {std::vector<std::string>{dir.file("new.9xi"), bmp},
                                              std::vector<std::string>{dir.file("new.9xi")}}) {
            ProgramResult press = run("Pixelpress", args);
            EXPECT_EQ(press.status, 0) << press.err;
            Bytes made = testing::read_file(dir.file("new.9xi"));
            EXPECT_EQ(Bytes(made.begin() + 92, made.end() - 3), source_rows) << sample.path;
            if (stored_size) {
                // Size words, rows, tag and checksum alike.
                EXPECT_EQ(Bytes(made.begin() + 86, made.end()),
                          Bytes(source.begin() + 86, source.end()));
            }
        }
        if (!stored_size) {
            // Back to a TI-83 Plus picture: the very file the calculator wrote.
            // The Windows build has no PNG.
            std::string image =
                dir.file(testing::programs_run_through_wine() ? "out.bmp" : "out.png");
            ASSERT_EQ(run("Pixelcast", {path, image}).status, 0);
            ProgramResult press = run("Pixelpress", {dir.file("new.8xi"), image, "/N", "Pic2", "/C",
                                                     "Picture file dated 06/15/03, 09:45"});
            EXPECT_EQ(press.status, 0) << press.err;
            EXPECT_EQ(testing::read_file(dir.file("new.8xi")), source);
        }
    }
    if (found == 0) {
        GTEST_SKIP() << "no sample files in " << VARKIT_SAMPLES_DIR;
    }
    EXPECT_TRUE(testing::list_dir(dir.file("scratch")).empty());
}

TEST_F(PictureEndToEnd, BitmapOfAnImageLibrary) {
    Pixels image = testing::pattern(37, 101);
    std::string bmp = dir.file("made by PIL.bmp");
    if (!testing::write_image(bmp, image)) {
        FAIL() << "no image writer: /usr/bin/python3 with PIL (python3-pil)";
    }
    std::string out = dir.file("pil.89i");
    ASSERT_EQ(run("Pixelpress", {out, bmp}).status, 0);
    ProgramResult cast = run("Pixelcast", {out, "/S200", "/F#", "/B."});
    std::string drawn;
    for (const std::string& line : image) {
        drawn += "\n" + line;
    }
    EXPECT_EQ(cast.out, drawn + "\n");
}

// The same two-tone picture in every format and depth PIL and ImageMagick
// write (dark pixels in three dark colours, light ones in three light
// colours or transparent) comes out of Pixelpress as the same rows; of an
// animation, the first frame (the second is black). JPEG, GIF and WebP files
// cut short are refused.
TEST_F(PictureEndToEnd, EveryFormatAndDepthIntoPixelpress) {
    const Pixels image = testing::pattern(13, 21);
    const char* pil_script =
        "import sys\n"
        "from PIL import Image\n"
        "rows = sys.stdin.read().split()\n"
        "dark = [(0, 0, 0), (60, 20, 20), (20, 60, 90)]\n"
        "light = [(255, 255, 255), (200, 220, 170), (250, 200, 100)]\n"
        "src = Image.new('RGB', (len(rows[0]), len(rows)))\n"
        "for y, row in enumerate(rows):\n"
        "    for x, c in enumerate(row):\n"
        "        src.putpixel((x, y), (dark if c == '#' else light)[(x + y) % 3])\n"
        "grey = src.convert('L')\n"
        "bw = grey.point(lambda v: 255 if v >= 128 else 0).convert('1', dither=Image.NONE)\n"
        "clear = src.convert('RGBA')\n"
        "for y, row in enumerate(rows):\n"
        "    for x, c in enumerate(row):\n"
        "        if c != '#': clear.putpixel((x, y), (0, 0, 0, 0))\n"
        "deep = Image.new('I;16', src.size)\n"
        "deep.putdata([v * 257 for v in grey.getdata()])\n"
        "two = Image.new('P', src.size)\n"
        "two.putpalette([250, 200, 100, 20, 60, 90])\n"
        "two.putdata([1 if v == 0 else 0 for v in bw.getdata()])\n"
        "out = sys.argv[1] + '/'\n"
        "src.save(out + 'src.png')\n"
        "bw.save(out + 'pil1.bmp'); bw.save(out + 'pil1.png'); bw.save(out + 'pil.pbm')\n"
        "grey.save(out + 'pil8grey.bmp'); grey.save(out + 'pil8grey.png')\n"
        "grey.save(out + 'pil.pgm')\n"
        "src.quantize(colors=6).save(out + 'pil8palette.bmp')\n"
        "src.quantize(colors=6).save(out + 'pil4palette.png')\n"
        "two.save(out + 'pil1palette.png', bits=1)\n"
        "src.save(out + 'pil24.bmp'); src.save(out + 'pil24.png'); src.save(out + 'pil.ppm')\n"
        "clear.save(out + 'pil32alpha.bmp'); clear.save(out + 'pil32alpha.png')\n"
        "src.convert('LA').save(out + 'pilgreyalpha.png')\n"
        "deep.save(out + 'pil16grey.png')\n"
        "src.save(out + 'pil.jpg', quality=95)\n"
        "src.save(out + 'pillossy.webp', quality=90)\n"
        "src.save(out + 'pillossless.webp', lossless=True)\n"
        "clear.save(out + 'pilalpha.webp', lossless=True)\n"
        "black = Image.new('RGB', src.size)\n"
        "src.save(out + 'pilanimated.gif', save_all=True, append_images=[black])\n"
        "src.save(out + 'pilanimated.webp', save_all=True, append_images=[black])\n";
    std::string input;
    for (const std::string& line : image) {
        input += line + "\n";
    }
    ProgramResult pil =
        testing::run_command({"/usr/bin/python3", "-c", pil_script, dir.path()}, {}, input);
    ASSERT_EQ(pil.status, 0) << "PIL (python3-pil): " << pil.err;
    const std::string src = dir.file("src.png");
    const std::vector<std::vector<std::string>> magick = {
        {"-type", "palette", "BMP3:" + dir.file("im4palette.bmp")},
        {"-type", "palette", "-compress", "RLE", "BMP3:" + dir.file("im8rle.bmp")},
        {"-alpha", "on", dir.file("im32v5.bmp")},
        {dir.file("im24v5.bmp")},
        {"-define", "bmp:subtype=RGB565", dir.file("im16.bmp")},
        {"BMP2:" + dir.file("im24os2.bmp")},
        {"PNG48:" + dir.file("im48.png")},
        {"-colorspace", "gray", "-depth", "2", "PNG:" + dir.file("im2grey.png")},
        {"-interlace", "PNG", "PNG24:" + dir.file("im24interlaced.png")},
        {"-compress", "none", dir.file("implain.pgm")},
        {"-compress", "none", dir.file("implain.ppm")},
        {"-threshold", "50%", "-compress", "none", dir.file("implain.pbm")},
        {dir.file("im.jpg")},
        {"-interlace", "JPEG", "-colorspace", "CMYK", dir.file("improgressivecmyk.jpg")},
        {"-interlace", "GIF", dir.file("iminterlaced.gif")},
        {"-define", "webp:lossless=true", dir.file("imlossless.webp")},
    };
    for (std::vector<std::string> args : magick) {
        args.insert(args.begin(), {"convert", src});
        ASSERT_EQ(testing::run_command(args).status, 0) << "ImageMagick: " << args.back();
    }
    // RLE4, which neither writes: a run of one pixel each, lines ended.
    Bytes rle4 = testing::bmp_file({"#"}, {.bits_per_pixel = 4, .compression = 2});
    rle4.resize(62);
    for (auto line = image.rbegin(); line != image.rend(); ++line) {
        for (char c : *line) {
            rle4.insert(rle4.end(), {1, static_cast<std::uint8_t>(c == '#' ? 0x00 : 0x10)});
        }
        rle4.insert(rle4.end(), {0, 0});
    }
    rle4.insert(rle4.end(), {0, 1});
    rle4[18] = 21, rle4[22] = 13;
    testing::write_file(dir.file("rle4.bmp"), rle4);

    // The Windows build reads none of the formats of Linux's libraries.
    auto read_on_windows = [](const std::string& name) {
        return !name.ends_with(".png") && !name.ends_with(".jpg") && !name.ends_with(".gif") &&
               !name.ends_with(".webp");
    };
    std::size_t formats = 0;
    std::size_t linux_only = 0;
    for (const std::string& name : testing::list_dir(dir.path().string())) {
        if (name.find('.') == std::string::npos) {
            continue;
        }
        if (!read_on_windows(name) && testing::programs_run_through_wine()) {
            ++linux_only;
            continue;
        }
        ++formats;
        std::string out = dir.file("out.89i");
        ProgramResult press = run("Pixelpress", {out, dir.file(name)});
        EXPECT_EQ(press.status, 0) << name << ": " << press.err;
        ProgramResult cast = run("Pixelcast", {out, "/S", "/F#", "/B."});
        std::string drawn;
        for (const std::string& line : image) {
            drawn += "\n" + line;
        }
        EXPECT_EQ(cast.out, drawn + "\n") << name;
    }
    EXPECT_EQ(formats + linux_only, 40u);
    if (testing::programs_run_through_wine()) {
        return;
    }
    for (const char* name : {"pil.jpg", "improgressivecmyk.jpg", "iminterlaced.gif",
                             "pillossy.webp", "pillossless.webp"}) {
        Bytes cut = testing::read_file(dir.file(name));
        cut.resize(cut.size() * 3 / 4);
        testing::write_file(dir.file("cut"), cut);
        ProgramResult press = run("Pixelpress", {dir.file("cut.89i"), dir.file("cut")});
        EXPECT_EQ(press.err, "Error: " + dir.file("cut") + " ends before its last row.\n") << name;
    }
}

// Pictures through pipes both ways: Pixelcast to standard output, netpbm
// between, Pixelpress from standard input.
TEST_F(PictureEndToEnd, Pipelines) {
    const Pixels image = testing::pattern(9, 17);
    std::string picture = dir.file("pic.89i");
    testing::write_file(picture, testing::picture_file(image));
    auto shell = [&](const std::string& command) {
        std::vector<std::string> environment = env();
        environment.push_back("PATH=" + std::string(VARKIT_BIN_DIR) + ":" + std::getenv("PATH"));
        return testing::run_command({"/bin/sh", "-c", "cd \"$1\" && " + command, "sh", dir.path()},
                                    environment);
    };
    ProgramResult big = shell("Pixelcast pic.89i - --format=pbm | pnmscale 4 | pnmtopng > big.png");
    ASSERT_EQ(big.status, 0) << big.err << " (netpbm)";
    Pixels scaled;
    for (const std::string& line : image) {
        std::string wide;
        for (char c : line) {
            wide += std::string(4, c);
        }
        scaled.insert(scaled.end(), 4, wide);
    }
    EXPECT_EQ(read_bmp(dir.file("big.png")), scaled);
    for (const char* format : {"bmp", "png", "pbm"}) {
        ProgramResult piped = shell(std::string("Pixelcast pic.89i - --format=") + format +
                                    " | Pixelpress back.9xi -");
        EXPECT_EQ(piped.status, 0) << format;
        EXPECT_EQ(piped.err,
                  "Image copied to standard output.\nStandard input image copied to back.9xi.\n");
        Bytes back = testing::read_file(dir.file("back.9xi"));
        EXPECT_EQ(testing::unpack_rows(Bytes(back.begin() + 92, back.end() - 3), 9, 17), image);
        EXPECT_EQ(testing::text_field(back, 18, 40), "From standard input");
    }
    ProgramResult netpbm = shell("pngtopnm big.png | pnmscale 0.25 | Pixelpress small.89i -");
    EXPECT_EQ(netpbm.status, 0) << netpbm.err;
    Bytes small = testing::read_file(dir.file("small.89i"));
    EXPECT_EQ(testing::unpack_rows(Bytes(small.begin() + 92, small.end() - 3), 9, 17), image);
    ProgramResult empty = shell("Pixelpress none.89i - < /dev/null");
    EXPECT_EQ(empty.err, "Error: Standard input is not a bitmap.\n");
}

TEST_F(PictureEndToEnd, ConsoleFollowsTheLocale) {
    std::string picture = dir.file("small.89i");
    testing::write_file(picture, testing::picture_file({"#.#", ".#."}));
    std::vector<std::string> environment = env();
    environment.push_back("LC_ALL=C.UTF-8");
    ProgramResult utf8 = run_executable("Pixelcast", {picture, "/S"}, environment);
    // A Windows console shows the bytes through its own code page.
    EXPECT_EQ(utf8.out, testing::programs_run_through_wine() ? "\n\xDB \xDB\n \xDB \n"
                                                             : "\n\u2588 \u2588\n \u2588 \n");
    EXPECT_EQ(run("Pixelcast", {picture, "/S"}).out, "\n\xDB \xDB\n \xDB \n");
}

// With no clipboard to read back from, an older BMP file stays as it was and
// nothing else is left; Pixelpress writes nothing.
TEST_F(PictureEndToEnd, NoClipboard) {
    std::string picture = dir.file("small.89i");
    testing::write_file(picture, testing::picture_file({"#"}));
    std::string bmp = dir.file("old.bmp");
    testing::write_file(bmp, std::string("old"));
    ProgramResult cast = run("Pixelcast", {picture, bmp}, "none");
    EXPECT_EQ(cast.status, 1);
    EXPECT_EQ(cast.err, "Error: Unable to open clipboard.\nError: Unable to open clipboard.\n");
    EXPECT_EQ(testing::read_file(bmp), Bytes({'o', 'l', 'd'}));

    ProgramResult press = run("Pixelpress", {dir.file("new.89i")});
    EXPECT_EQ(press.status, 1);
    EXPECT_EQ(press.err, "Error: Unable to get clipboard data.\nError: Unable to create bitmap.\n");
    EXPECT_EQ(testing::list_dir(dir.path().string()),
              (std::vector<std::string>{"clipboard", "old.bmp", "scratch", "small.89i"}));
    EXPECT_TRUE(testing::list_dir(dir.file("scratch")).empty());
}

}  // namespace
}  // namespace varkit
