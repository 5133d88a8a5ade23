// Plaincast over any bytes: the checks, the TEXT and STR readers and their
// plain-text form, to the fake clipboard, the console and a text file. When
// the run succeeds the clipboard and the file hold the same text.
#include "fuzz/support/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "text_export/plaincast.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varkit;
    static const fuzzing::TempFolder folder;
    const std::string text_file = folder.file("out.txt");
    std::remove(text_file.c_str());

    testing::FakePlatform platform;
    fuzzing::MemoryFile input(data, size);
    int status = fuzzing::run_program(plaincast_main, {input.path(), text_file, "/S"}, platform);
    if (status == 0) {
        fuzzing::require(
            platform.text.has_value() && fuzzing::read_whole_file(text_file) == platform.text,
            "the text file and the clipboard differ");
    }
    return 0;
}
