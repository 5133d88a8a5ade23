#include "platform/none/none_platform.h"
#include "platform/platform.h"

namespace varkit {

std::unique_ptr<Platform> make_platform() {
    return std::make_unique<NonePlatform>();
}

}  // namespace varkit
