// Pixelpress over any bytes, as a BMP file and as the clipboard's bitmap: the
// headers, the checks, the colour table and the rows, then the file written,
// which must be a sound variable file.
#include "fuzz/support/fuzz_support.h"
#include "picture_import/pixelpress.h"
#include "tests/support/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varkit;
    static const fuzzing::TempFolder folder;
    const std::string output = folder.file("out.9xi");
    testing::FakePlatform platform;
    fuzzing::MemoryFile file(data, size);
    std::remove(output.c_str());
    if (fuzzing::run_program(pixelpress_main, {output, file.path()}, platform) == 0) {
        fuzzing::require_sound_variable_file(output);
    }
    // The same bytes as a clipboard block behind the file header it gets.
    platform.dib = std::vector<std::uint8_t>(data, data + size);
    std::remove(output.c_str());
    if (fuzzing::run_program(pixelpress_main, {output, "/N", "fuzz"}, platform) == 0) {
        fuzzing::require_sound_variable_file(output);
    }
    return 0;
}
