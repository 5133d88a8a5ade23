#include <langinfo.h>

#include <cstring>

#include "picture_export/console_picture.h"

namespace varkit {

bool console_uses_utf8() {
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

}  // namespace varkit
