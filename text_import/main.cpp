#include <cstdio>

#include "platform/platform.h"
#include "text_import/plainpress.h"

int main(int argc, char** argv) {
    std::unique_ptr<varkit::Platform> platform = varkit::make_platform();
    varkit::Runtime rt{stdout, stderr, *platform};
    return varkit::plainpress_main(argc, argv, rt);
}
