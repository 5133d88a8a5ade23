#include "picture_export/console_picture.h"

namespace varkit {

// A Windows console shows the bytes through its own code page: they go out
// as they are.
bool console_uses_utf8() {
    return false;
}

}  // namespace varkit
