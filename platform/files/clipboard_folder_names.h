// What the clipboard folder's implementations on each system share: the names
// of its temporary files, its limits and where its environment is read.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace varkit::folder_names {

// Temporary files start with this, so a writer that died half-way leaves a
// name the next lock holder recognises and removes.
inline constexpr std::string_view kTemporaryPrefix = ".incoming-";
inline constexpr auto kLockRetry = std::chrono::milliseconds(5);
// Nothing the suite places comes near this; it keeps a stray huge file from
// being read into memory.
inline constexpr std::int64_t kLargestFile = std::int64_t{256} << 20;

inline std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The temporary file that becomes `name`, told apart from others by 64
// random bits.
inline std::string temporary_name(const char* name, std::uint64_t random) {
    static const char digits[] = "0123456789abcdef";
    std::string suffix;
    for (int i = 0; i < 16; ++i) {
        suffix += digits[(random >> (4 * i)) & 15];
    }
    return std::string(kTemporaryPrefix) + name + "-" + suffix;
}

}  // namespace varkit::folder_names
