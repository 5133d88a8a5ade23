// Plainpress over any bytes: as a text file (also read as UTF-8) and as the
// clipboard's text, into a TEXT and a STR, and the plain-text converter and
// the character table themselves. Every file it writes must be a sound
// variable file: its size is its data length + 90 and its checksum is right.
#include "charset/charset.h"
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

    press({text_output, input.path(), "--utf8"}, text_output, platform);

    platform.text = std::string(reinterpret_cast<const char*>(data), size);
    press({string_output, "/N", "fuzz", "/C", "from the clipboard"}, string_output, platform);

    std::string_view plain(reinterpret_cast<const char*>(data), size);
    for (TextLayout layout : {TextLayout::Text, TextLayout::String}) {
        std::string text = variable_text_from_plain(layout, plain);
        fuzzing::require(text.find('\0') == std::string::npos,
                         "the converted text holds a zero byte");
        plain_text_from_variable(layout, text);
    }

    // UTF-8 that the table takes comes back the same from its own spelling.
    PlainTextFromUtf8 read = plain_text_from_utf8(plain);
    if (!read.refusal) {
        fuzzing::require(plain_text_from_utf8(utf8_from_plain_text(read.plain)).plain == read.plain,
                         "the plain text changed on its way through UTF-8");
    }
    return 0;
}
