#include "platform/desktop/shell.h"

namespace varkit::desktop {

void play_default_sound() {}

void open_document(const std::string&) {}

}  // namespace varkit::desktop
