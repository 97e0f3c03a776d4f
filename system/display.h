// Whether the window would have anywhere to appear, asked before the window system is reached.
#pragma once

namespace r462xe {

// True when the window would have nowhere to appear: on a Linux-style desktop, DISPLAY and
// WAYLAND_DISPLAY are both missing or empty and the user has not chosen a platform with
// QT_QPA_PLATFORM. False where the system always has its own display.
bool no_display();

}  // namespace r462xe
