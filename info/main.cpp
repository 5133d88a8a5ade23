#include <clocale>
#include <cstdio>

#include "info/varlook.h"
#include "platform/none/none_platform.h"
#include "varfile/file_io.h"
#include "varfile/host.h"

int main(int argc, char** argv) {
    varkit::ProgramArguments arguments(argc, argv);
    // Names and comments shown on a terminal follow its character set.
    std::setlocale(LC_CTYPE, "");
    // Varlook never touches the desktop.
    varkit::NonePlatform platform;
    varkit::Runtime rt{stdout, stderr, platform};
    return varkit::finish_standard_output(
        varkit::varlook_main(arguments.count(), arguments.values(), rt));
}
