// Quillcast over any bytes: the entry table walk, the line kinds, markup
// commands cut short anywhere, lab report references into damaged tables,
// strings and pictures of any stored size, to the clipboard, with and without
// colons kept, as the calculator's bytes and as Unicode, and to a named file
// in a font given by name.
#include "fuzz/support/fuzz_support.h"
#include "rich_export/quillcast.h"
#include "tests/support/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varkit;
    testing::FakePlatform platform;
    fuzzing::MemoryFile file(data, size);
    fuzzing::run_program(quillcast_main, {file.path()}, platform);
    fuzzing::run_program(quillcast_main, {file.path(), "/:", "/F2", "--utf8"}, platform);
    // A named document is written beside its name and renamed into place.
    static const fuzzing::TempFolder folder;
    fuzzing::run_program(quillcast_main, {file.path(), folder.file("out.rtf"), "/F", "Face{\\}"},
                         platform);
    return 0;
}
