#include <cstdio>

#include "platform/platform.h"
#include "text_export/plaincast.h"

int main(int argc, char** argv) {
    std::unique_ptr<varkit::Platform> platform = varkit::make_platform();
    varkit::Runtime rt{stdout, stderr, *platform};
    return varkit::plaincast_main(argc, argv, rt);
}
