// Plainpress over any bytes: as a text file (as the calculator's bytes and
// as UTF-8, also approximated) and as the clipboard's text, into a TEXT and a
// STR, and the plain-text converter and the character table themselves. Every file it writes must
// be a sound variable file: its size is its data length + 90 and its checksum is right.
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

    press({text_output, input.path(), "--bytes"}, text_output, platform);
    press({text_output, input.path(), "--utf8"}, text_output, platform);
    press({text_output, input.path(), "--utf8", "--approximate"}, text_output, platform);

    platform.text = std::string(reinterpret_cast<const char*>(data), size);
    press({string_output, "/N", "fuzz", "/C", "from the clipboard"}, string_output, platform);

    std::string_view plain(reinterpret_cast<const char*>(data), size);
    for (TextLayout layout : {TextLayout::Text, TextLayout::String}) {
        std::string text = variable_text_from_plain(layout, plain);
        fuzzing::require(text.find('\0') == std::string::npos,
                         "the converted text holds a zero byte");
        // A variable's text written as a Unicode text file reads back as the
        // same variable as its bytes do.
        std::string exported = plain_text_from_variable(layout, text);
        std::optional<std::u32string> file =
            utf32_from_utf8(unicode_file_from_plain_text(exported));
        fuzzing::require(file.has_value(), "a Unicode text file is not UTF-8");
        PlainTextFromUnicode back = plain_text_from_unicode_file(*file, Lacking::Refuse);
        fuzzing::require(back.refused.empty() && variable_text_from_plain(layout, back.plain) ==
                                                     variable_text_from_plain(layout, exported),
                         "a text changed on its way through a Unicode text file");
    }

    // UTF-8 that the table takes comes back the same from its own spelling.
    if (std::optional<std::u32string> characters = utf32_from_utf8(plain)) {
        PlainTextFromUnicode read = plain_text_from_unicode(*characters);
        if (read.refused.empty()) {
            std::optional<std::u32string> again = utf32_from_utf8(utf8_from_plain_text(read.plain));
            fuzzing::require(again && plain_text_from_unicode(*again).plain == read.plain,
                             "the plain text changed on its way through UTF-8");
        }
    }
    return 0;
}
