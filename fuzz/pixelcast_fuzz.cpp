// Pixelcast over any bytes: the signature, every calculator's layout, the
// stored size and the rows, drawn on the console, placed on a clipboard and
// saved as a BMP, PNG and PBM file. A picture small enough for the picture
// importer must come back from each file through its readers pixel for pixel.
#include "fuzz/support/fuzz_support.h"
#include "picture_export/calculator_picture.h"
#include "picture_export/pixelcast.h"
#include "picture_import/picture_reduction.h"
#include "tests/support/fake_platform.h"

namespace {

using namespace varkit;

void check_image_file(const std::string& picture_path, const std::string& bmp_path) {
    CalculatorPicture picture;
    FilePtr messages(std::fopen("/dev/null", "w"));
    fuzzing::require(load_calculator_picture(picture_path, std::nullopt, picture, messages.get()),
                     "a picture Pixelcast took does not load again");
    if (picture.size.columns > kMaxPictureColumns || picture.size.rows > kMaxPictureRows) {
        return;
    }
    std::optional<std::string> bmp = fuzzing::read_whole_file(bmp_path);
    fuzzing::require(bmp.has_value(), "the image file does not read back");
    std::optional<ImagePicture> read_back = picture_of_image_file(
        std::span(reinterpret_cast<const std::uint8_t*>(bmp->data()), bmp->size()));
    fuzzing::require(read_back.has_value(), "the image file does not read back");
    const std::vector<std::uint8_t>& rows = read_back->rows;
    const std::size_t row_bytes = picture_row_bytes(picture.size.columns);
    for (std::size_t r = 0; r < picture.size.rows; ++r) {
        for (std::size_t c = 0; c < picture.size.columns; ++c) {
            fuzzing::require(picture_pixel_on(rows, row_bytes, r, c) ==
                                 picture_pixel_on(picture.rows, row_bytes, r, c),
                             "a pixel of the image file differs from the picture");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::TempFolder folder;
    fuzzing::MemoryFile file(data, size);
    for (const char* name : {"out.bmp", "out.png", "out.pbm"}) {
        const std::string image = folder.file(name);
        std::remove(image.c_str());
        testing::FakePlatform platform;
        if (fuzzing::run_program(pixelcast_main, {file.path(), image, "/S"}, platform) == 0) {
            check_image_file(file.path(), image);
        }
    }
    return 0;
}
