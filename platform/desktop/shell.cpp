#include "platform/desktop/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>

#include "platform/desktop/session.h"
#include "platform/desktop/spawn.h"

namespace varkit::desktop {
namespace {

// The freedesktop sound theme's names for the desktop's default beep.
constexpr std::array kEventSounds{
    "/usr/share/sounds/freedesktop/stereo/bell.oga",
    "/usr/share/sounds/freedesktop/stereo/dialog-information.oga",
};
// Players that take those files; each is tried until one plays.
constexpr std::array kPlayers{"paplay", "pw-play", "ogg123"};
// A player stuck on a sound device is not waited for longer than this.
constexpr auto kPlayLimit = std::chrono::seconds(10);

bool played(const std::vector<std::string>& argv) {
    auto finished = run_program(argv, kPlayLimit);
    return finished && finished->exit_status == 0;
}

bool play_event_sound() {
    if (std::string canberra = find_program("canberra-gtk-play"); !canberra.empty()) {
        if (played({canberra, "--id=bell"})) {
            return true;
        }
    }
    for (const char* sound : kEventSounds) {
        struct stat info {};
        if (stat(sound, &info) != 0) {
            continue;
        }
        for (const char* player : kPlayers) {
            std::string path = find_program(player);
            if (!path.empty() && played({path, sound})) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

void play_default_sound() {
    if (display_present() && play_event_sound()) {
        return;
    }
    if (isatty(STDERR_FILENO)) {
        const char bell = '\a';
        ssize_t written = write(STDERR_FILENO, &bell, 1);
        (void)written;  // a bell that cannot ring is no failure of the run
    }
}

void open_document(const std::string& path) {
    std::string xdg_open = find_program("xdg-open");
    if (xdg_open.empty() || path.empty()) {
        return;
    }
    // A name starting with '-' would be read as an option.
    start_detached({xdg_open, path.front() == '-' ? "./" + path : path});
}

}  // namespace varkit::desktop
