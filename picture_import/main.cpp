#include <cstdio>

#include "picture_import/pixelpress.h"
#include "varfile/file_io.h"
#include "varfile/host.h"

int main(int argc, char** argv) {
    varkit::ProgramArguments arguments(argc, argv);
    std::unique_ptr<varkit::Platform> platform = varkit::make_platform();
    varkit::Runtime rt{stdout, stderr, *platform};
    return varkit::finish_standard_output(
        varkit::pixelpress_main(arguments.count(), arguments.values(), rt));
}
