// Plainpress over any bytes: as a text file and as the clipboard's text,
// into a TEXT and a STR, and the plain-text converter itself. Every file it
// writes must be a sound variable file: its size is its data length + 90 and
// its checksum is right.
#include "fuzz/support/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "text_import/plainpress.h"
#include "varfile/varfile.h"

namespace {

using namespace varkit;

void press(const std::vector<std::string>& args, const std::string& output,
           testing::FakePlatform& platform) {
    std::remove(output.c_str());
    if (fuzzing::run_program(plainpress_main, args, platform) == 0) {
        fuzzing::require_sound_variable_file(output);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::TempFolder folder;
    const std::string text_output = folder.file("out.89t");
    const std::string string_output = folder.file("out.9xs");

    fuzzing::MemoryFile input(data, size);
    testing::FakePlatform platform;
    press({text_output, input.path()}, text_output, platform);

    platform.text = std::string(reinterpret_cast<const char*>(data), size);
    press({string_output, "/N", "fuzz", "/C", "from the clipboard"}, string_output, platform);

    std::string_view plain(reinterpret_cast<const char*>(data), size);
    for (TextLayout layout : {TextLayout::Text, TextLayout::String}) {
        std::string text = variable_text_from_plain(layout, plain);
        fuzzing::require(text.find('\0') == std::string::npos,
                         "the converted text holds a zero byte");
        plain_text_from_variable(layout, text);
    }
    return 0;
}
