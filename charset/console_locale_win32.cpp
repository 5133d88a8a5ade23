// The console's character set on Windows.
#include "charset/charset.h"

namespace varkit {

// A Windows console shows the bytes through its own code page: they go out
// as they are.
bool console_uses_utf8() {
    return false;
}

}  // namespace varkit
