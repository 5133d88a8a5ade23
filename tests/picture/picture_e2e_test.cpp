// The built Pixelcast and Pixelpress on real calculator pictures and on
// bitmaps of a real image library, through the shared headless clipboard
// folder; BMP files read back by PIL.
#include <gtest/gtest.h>

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
