// Text between the programs, which keep it in UTF-8 on Windows too, and the
// UTF-16 of Windows' wide calls (file names, the command line, the console,
// CF_UNICODETEXT). Windows builds only.
#pragma once

#include <string>
#include <string_view>

namespace varkit {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring wide_from_utf8(std::string_view text);
// A lone surrogate becomes U+FFFD.
std::string utf8_from_wide(std::wstring_view text);

}  // namespace varkit
