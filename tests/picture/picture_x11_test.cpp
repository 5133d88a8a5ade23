// A bitmap placed on a real X11 clipboard by the built Pixelcast, read by an
// independent client (xclip) as image/png and by Pixelpress, under an Xvfb
// server the test starts and stops.
#include <gtest/gtest.h>

#include "tests/picture/picture_test_files.h"
#include "tests/support/program_run.h"
#include "tests/support/tool_run.h"
#include "tests/support/xvfb_server.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::Pixels;
using testing::ProgramResult;

TEST(PictureX11, XclipReadsThePlacedBitmapAsPng) {
    if (!testing::tool_exists("Xvfb") || !testing::tool_exists("xclip")) {
        GTEST_SKIP() << "Xvfb or xclip is not installed (scripts/setup.sh installs them)";
    }
    testing::XvfbServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    testing::TempDir dir;
    const std::vector<std::string> env = {"DISPLAY=" + server.display(), "VARKIT_CLIPBOARD=x11",
                                          "VARKIT_CLIPBOARD_DIR=" + dir.file("clipboard"),
                                          "TMPDIR=" + dir.path().string()};
    Pixels image = testing::pattern(37, 101);
    std::string picture = dir.file("pattern.89i");
    testing::write_file(picture, testing::picture_file(image));

    ProgramResult cast = testing::run_executable("Pixelcast", {picture}, env);
    ASSERT_EQ(cast.status, 0) << cast.err;
    EXPECT_EQ(cast.err, "Image copied to clipboard.\n");

    ProgramResult png =
        testing::run_command({"xclip", "-selection", "clipboard", "-t", "image/png", "-o"}, env);
    ASSERT_EQ(png.status, 0);
    ASSERT_EQ(png.out.substr(0, 8), "\x89PNG\r\n\x1a\n");
    testing::write_file(dir.file("clipboard.png"), png.out);
    bool available = false;
    EXPECT_EQ(testing::read_image(dir.file("clipboard.png"), &available), image);
    EXPECT_TRUE(available) << "no image reader: /usr/bin/python3 with PIL (python3-pil)";

    // Pixelpress takes the same bitmap back from the X11 clipboard.
    ProgramResult press = testing::run_executable("Pixelpress", {dir.file("back.89i")}, env);
    ASSERT_EQ(press.status, 0) << press.err;
    Bytes back = testing::read_file(dir.file("back.89i"));
    EXPECT_EQ(testing::unpack_rows(Bytes(back.begin() + 92, back.end() - 3), 37, 101), image);

    // --no-clipboard, and "-" as the output, leave the clipboard's owner as it
    // was; the BMP file holds the bytes a run through the clipboard saves.
    ASSERT_EQ(testing::run_executable("Pixelcast", {picture, dir.file("via.bmp")}, env).status, 0);
    const std::uint32_t owner = server.clipboard_owner();
    ASSERT_NE(owner, 0u);
    ProgramResult alone = testing::run_executable(
        "Pixelcast", {picture, dir.file("alone.bmp"), "--no-clipboard"}, env);
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.err, "Image copied to " + dir.file("alone.bmp") + ".\n");
    EXPECT_EQ(testing::read_file(dir.file("alone.bmp")), testing::read_file(dir.file("via.bmp")));
    ProgramResult piped = testing::run_executable("Pixelcast", {picture, "-"}, env);
    EXPECT_EQ(piped.err, "Image copied to standard output.\n");
    EXPECT_EQ(piped.out.substr(0, 2), "BM");
    EXPECT_EQ(server.clipboard_owner(), owner);
}

}  // namespace
}  // namespace varkit
