#include <clocale>
#include <cstdio>

#include "rich_export/quillcast.h"
#include "varfile/file_io.h"
#include "varfile/host.h"

int main(int argc, char** argv) {
    varkit::ProgramArguments arguments(argc, argv);
    // The document follows the user's character set.
    std::setlocale(LC_CTYPE, "");
    std::unique_ptr<varkit::Platform> platform = varkit::make_platform();
    varkit::Runtime rt{stdout, stderr, *platform};
    return varkit::finish_standard_output(
        varkit::quillcast_main(arguments.count(), arguments.values(), rt));
}
