// Pixelpress over any bytes, as an image file and as the clipboard's bitmap:
// the format, the headers, the checks, the colour table and the rows, then
// the file written, which must be a sound variable file whose picture, read
// back as Pixelcast reads it, is the image's.
#include "fuzz/support/fuzz_support.h"
#include "picture_export/calculator_picture.h"
#include "picture_import/picture_reduction.h"
#include "picture_import/pixelpress.h"
#include "tests/support/fake_platform.h"

namespace {

using namespace varkit;

void check_picture_file(const std::string& output, const std::string& image_path) {
    fuzzing::require_sound_variable_file(output);
    std::optional<std::string> image = fuzzing::read_whole_file(image_path);
    std::optional<ImagePicture> expected;
    if (image) {
        expected = picture_of_image_file(
            std::span(reinterpret_cast<const std::uint8_t*>(image->data()), image->size()));
    }
    fuzzing::require(expected.has_value(), "an imported image does not read again");
    CalculatorPicture picture;
    FilePtr messages(std::fopen("/dev/null", "w"));
    fuzzing::require(load_calculator_picture(output, std::nullopt, picture, messages.get()),
                     "the written picture does not load");
    fuzzing::require(picture.size.rows == expected->size.rows &&
                         picture.size.columns == expected->size.columns &&
                         picture.rows == expected->rows,
                     "the written picture is not the image");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::TempFolder folder;
    const std::string output = folder.file("out.9xi");
    testing::FakePlatform platform;
    fuzzing::MemoryFile file(data, size);
    std::remove(output.c_str());
    if (fuzzing::run_program(pixelpress_main, {output, file.path()}, platform) == 0) {
        check_picture_file(output, file.path());
    }
    // The same bytes as a clipboard block behind the file header it gets.
    platform.dib = std::vector<std::uint8_t>(data, data + size);
    std::remove(output.c_str());
    if (fuzzing::run_program(pixelpress_main, {output, "/N", "fuzz"}, platform) == 0) {
        auto header = bmp_file_header(*platform.dib);
        std::vector<std::uint8_t> bmp(header.begin(), header.end());
        bmp.insert(bmp.end(), data, data + size);
        fuzzing::MemoryFile bmp_file(bmp.data(), bmp.size());
        check_picture_file(output, bmp_file.path());
    }
    return 0;
}
