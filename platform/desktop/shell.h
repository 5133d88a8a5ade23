// The desktop's default event sound and its "open with the application for
// this document".
#pragma once

#include <string>

namespace varkit::desktop {

// Plays the desktop's event sound to its end: on Linux with a sound player
// when one is there, else the terminal bell when standard error is a
// terminal; on Windows the default sound.
void play_default_sound();

// Starts the desktop's application for the document (xdg-open, or the
// Windows shell's "open"), detached: it is not waited for and keeps running
// when the program ends.
void open_document(const std::string& path);

}  // namespace varkit::desktop
