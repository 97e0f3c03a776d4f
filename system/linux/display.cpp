// On a Linux desktop the window appears on the X display that DISPLAY names, unless Wayland or a
// platform the user chose takes it; an X display is asked whether it answers, as the window
// system's own library connects to it.
#include "system/display.h"

#include <xcb/xcb.h>

#include "system/environment.h"

namespace r462xe {

DisplayCheck check_display() {
    // Another platform chosen, or Wayland's display named: the window system answers for itself.
    const std::string platform = environment_variable("QT_QPA_PLATFORM");
    if (platform != "xcb" &&
        (!platform.empty() || !environment_variable("WAYLAND_DISPLAY").empty()))
        return {};
    const std::string display = environment_variable("DISPLAY");
    if (display.empty()) return {.state = DisplayCheck::State::none, .name = {}};
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (answers) return {};
    return {.state = DisplayCheck::State::unreachable, .name = display};
}

}  // namespace r462xe
