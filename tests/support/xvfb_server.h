// An Xvfb server of the test's own, on a display number it picks itself
// (-displayfd), so parallel tests never share one; stopped at the end, which
// also ends every clipboard server still connected to it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace varkit::testing {

class XvfbServer {
  public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":<n>", or "" when the server did not start.
    const std::string& display() const { return display_; }

    // The window that owns the CLIPBOARD selection now (0 for none), asked
    // of the server itself: a program that leaves the clipboard alone leaves
    // its owner as it was.
    std::uint32_t clipboard_owner() const;

  private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace varkit::testing
