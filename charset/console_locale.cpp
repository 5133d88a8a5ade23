// The character set of the user's locale: the one place that asks the
// system, so another system's build can put its own file here.
#include <langinfo.h>

#include <cstring>

#include "charset/charset.h"

namespace varkit {

bool locale_uses_utf8() {
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

bool console_uses_utf8() {
    return locale_uses_utf8();
}

}  // namespace varkit
