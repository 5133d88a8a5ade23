#include <cstdio>

#include "info/varlook.h"
#include "platform/none/none_platform.h"

int main(int argc, char** argv) {
    // Varlook never touches the desktop.
    varkit::NonePlatform platform;
    varkit::Runtime rt{stdout, stderr, platform};
    return varkit::varlook_main(argc, argv, rt);
}
