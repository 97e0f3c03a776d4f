#include "system/display.h"

#include <cstdlib>

namespace r462xe {

namespace {
// An empty variable names nothing, as a missing one.
bool empty_variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0';
}
}  // namespace

bool no_display() {
    return empty_variable("DISPLAY") && empty_variable("WAYLAND_DISPLAY") &&
           empty_variable("QT_QPA_PLATFORM");
}

}  // namespace r462xe
