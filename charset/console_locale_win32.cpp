// The character set of the locale and the console on Windows.
#include "charset/charset.h"

namespace varkit {

// Text files, documents and CF_TEXT keep the calculator's bytes, as the
// original programs wrote them.
bool locale_uses_utf8() {
    return false;
}

// A Windows console shows the bytes through its own code page: they go out
// as they are.
bool console_uses_utf8() {
    return false;
}

}  // namespace varkit
