// Pixelpress over any bytes, as a BMP file and as the clipboard's bitmap: the
// headers, the checks, the colour table and the rows, then the file written.
#include <stdlib.h>

#include <filesystem>

#include "fuzz/support/fuzz_support.h"
#include "picture_import/pixelpress.h"
#include "tests/support/fake_platform.h"

namespace {

// One folder for the whole run, for the files Pixelpress writes; removed at
// the end.
class OutputFolder {
  public:
    OutputFolder() {
        char pattern[] = "/tmp/varkit-fuzz-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            path_ = pattern;
        }
    }
    ~OutputFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varkit;
    static const OutputFolder folder;
    const std::string output = folder.file("out.9xi");
    testing::FakePlatform platform;
    fuzzing::MemoryFile file(data, size);
    fuzzing::run_program(pixelpress_main, {output, file.path()}, platform);
    // The same bytes as a clipboard block behind the file header it gets.
    platform.dib = std::vector<std::uint8_t>(data, data + size);
    fuzzing::run_program(pixelpress_main, {output, "/N", "fuzz"}, platform);
    return 0;
}
