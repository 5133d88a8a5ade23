// A bitmap placed on a real desktop clipboard by the built Pixelcast, read by
// an independent client (xclip on Xvfb, wl-paste on headless sway) as
// image/png and by Pixelpress; a PNG that client placed becomes the same
// picture through Pixelpress.
#include <gtest/gtest.h>

#include "tests/picture/picture_test_files.h"
#include "tests/support/program_run.h"
#include "tests/support/test_desktop.h"

namespace varkit {
namespace {

using testing::Bytes;
using testing::Desktop;
using testing::Pixels;
using testing::ProgramResult;

class PictureDesktop : public ::testing::TestWithParam<Desktop> {};

// The picture Pixelpress makes of the clipboard's bitmap.
Pixels pressed_from_clipboard(const std::string& output, std::size_t height, std::size_t width,
                              const std::vector<std::string>& env) {
    ProgramResult press = testing::run_executable("Pixelpress", {output}, env);
    EXPECT_EQ(press.status, 0) << press.err;
    Bytes file = testing::read_file(output);
    if (file.size() < 95) {
        return {};
    }
    return testing::unpack_rows(Bytes(file.begin() + 92, file.end() - 3), height, width);
}

INSTANTIATE_TEST_SUITE_P(, PictureDesktop, ::testing::Values(Desktop::x11, Desktop::wayland),
                         [](const auto& info) { return testing::desktop_name(info.param); });

TEST_P(PictureDesktop, TheOtherClientReadsThePlacedBitmapAsPngAndPlacesOne) {
    testing::TestDesktop desktop(GetParam());
    if (desktop.tools_missing()) {
        GTEST_SKIP() << desktop.failure();
    }
    ASSERT_EQ(desktop.failure(), "");
    testing::TempDir dir;
    std::vector<std::string> env = desktop.env();
    env.insert(env.end(),
               {"VARKIT_CLIPBOARD_DIR=" + dir.file("clipboard"), "TMPDIR=" + dir.path().string()});
    Pixels image = testing::pattern(37, 101);
    std::string picture = dir.file("pattern.89i");
    testing::write_file(picture, testing::picture_file(image));

    ProgramResult cast = testing::run_executable("Pixelcast", {picture, dir.file("via.bmp")}, env);
    ASSERT_EQ(cast.status, 0) << cast.err;
    EXPECT_EQ(cast.err,
              "Image copied to clipboard.\nImage copied to " + dir.file("via.bmp") + ".\n");

    const std::string png = desktop.paste("image/png");
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    testing::write_file(dir.file("clipboard.png"), png);
    bool available = false;
    EXPECT_EQ(testing::read_image(dir.file("clipboard.png"), &available), image);
    EXPECT_TRUE(available) << "no image reader: /usr/bin/python3 with PIL (python3-pil)";

    // Pixelpress takes the same bitmap back from the clipboard.
    EXPECT_EQ(pressed_from_clipboard(dir.file("back.89i"), 37, 101, env), image);

    // A PNG another program placed becomes the same picture.
    Pixels other = testing::pattern(20, 64);
    other[3] = std::string(64, '#');
    ASSERT_TRUE(testing::write_image(dir.file("other.png"), other));
    const Bytes other_png = testing::read_file(dir.file("other.png"));
    ASSERT_EQ(desktop.copy("image/png", std::string(other_png.begin(), other_png.end())), 0);

    // --no-clipboard, and "-" as the output, leave that PNG on the clipboard
    // (on X11 its owner too); the BMP file holds the bytes a run through the
    // clipboard saves.
    const std::optional<std::uint32_t> owner = desktop.x11_clipboard_owner();
    ProgramResult alone = testing::run_executable(
        "Pixelcast", {picture, dir.file("alone.bmp"), "--no-clipboard"}, env);
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.err, "Image copied to " + dir.file("alone.bmp") + ".\n");
    EXPECT_EQ(testing::read_file(dir.file("alone.bmp")), testing::read_file(dir.file("via.bmp")));
    ProgramResult piped = testing::run_executable("Pixelcast", {picture, "-"}, env);
    EXPECT_EQ(piped.err, "Image copied to standard output.\n");
    EXPECT_EQ(piped.out.substr(0, 2), "BM");
    EXPECT_EQ(desktop.x11_clipboard_owner(), owner);
    EXPECT_EQ(pressed_from_clipboard(dir.file("other.89i"), 20, 64, env), other);
}

}  // namespace
}  // namespace varkit
