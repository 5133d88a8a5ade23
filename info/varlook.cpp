#include "info/varlook.h"

namespace varkit {

int varlook_main(int, char**, Runtime&) { return 0; }

}  // namespace varkit
