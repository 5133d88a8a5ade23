// Whether this run has a graphical session to show dialogs and play sounds in.
#pragma once

#include <cstdlib>

namespace varkit::desktop {

inline bool display_present() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace varkit::desktop
