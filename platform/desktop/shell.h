// The desktop's default event sound and its "open with the application for
// this document".
#pragma once

#include <string>

namespace varkit::desktop {

// Plays the desktop's event sound to its end with a sound player when one is
// there, else rings the terminal bell when standard error is a terminal.
void play_default_sound();

// Starts xdg-open on the document, detached: it is not waited for and keeps
// running when the program ends.
void open_document(const std::string& path);

}  // namespace varkit::desktop
