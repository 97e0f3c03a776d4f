// A system whose desktop is always there (Windows, macOS).
#include "system/display.h"

namespace r462xe {

DisplayCheck check_display() {
    return {};
}

}  // namespace r462xe
