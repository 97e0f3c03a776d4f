// Whether the window has anywhere to appear, asked before the window system is reached: a window
// system that cannot be reached would otherwise end the program with an abort.
#pragma once

#include <string>

namespace r462xe {

struct DisplayCheck {
    enum class State {
        reachable,    // the window can appear (or the system always has its own display)
        none,         // nothing names a display: DISPLAY and WAYLAND_DISPLAY are missing or empty
                      // and no platform is chosen with QT_QPA_PLATFORM
        unreachable,  // DISPLAY names an X display that does not answer
    };
    State state = State::reachable;
    std::string name;  // unreachable: the display as DISPLAY names it
};

DisplayCheck check_display();

// True when nothing names a display (see DisplayCheck::State::none).
inline bool no_display() {
    return check_display().state == DisplayCheck::State::none;
}

}  // namespace r462xe
