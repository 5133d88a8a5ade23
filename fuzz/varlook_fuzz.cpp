// Varlook over any bytes: the header checks, every contents summary (the list
// walk, macro names, program flags) and the checksum step, read-only and with
// a repair and a rename that write into the input. A repair that succeeded
// leaves a file that verifies.
#include "fuzz/support/fuzz_support.h"
#include "info/varlook.h"
#include "platform/none/none_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varkit;
    NonePlatform platform;
    fuzzing::MemoryFile file(data, size);
    fuzzing::run_program(varlook_main, {file.path()}, platform);
    if (fuzzing::run_program(varlook_main, {file.path(), "/X", "/N", "renamed", "/L"}, platform) ==
        0) {
        fuzzing::require(fuzzing::run_program(varlook_main, {file.path()}, platform) == 0,
                         "a repaired file does not verify");
    }
    return 0;
}
