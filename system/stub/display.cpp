// A system whose desktop is always there (Windows, macOS).
#include "system/display.h"

namespace r462xe {

bool no_display() {
    return false;
}

}  // namespace r462xe
