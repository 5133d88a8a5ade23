// Pixelcast over any bytes: the signature, every calculator's layout, the
// stored size and the rows, drawn on the console and placed on a clipboard.
#include "fuzz/support/fuzz_support.h"
#include "picture_export/pixelcast.h"
#include "tests/support/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varkit;
    testing::FakePlatform platform;
    fuzzing::MemoryFile file(data, size);
    fuzzing::run_program(pixelcast_main, {file.path(), "/S"}, platform);
    return 0;
}
