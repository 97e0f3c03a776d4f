// Linux desktops name it by the XDG base directories: $XDG_STATE_HOME, by default
// ~/.local/state. A path that is not absolute names no folder, and is passed over.
#include "system/user_state_folder.h"

#include <string>

#include "system/environment.h"

namespace r462xe {

std::filesystem::path user_state_folder() {
    std::filesystem::path state_home = environment_variable("XDG_STATE_HOME");
    if (state_home.is_absolute()) return state_home;
    const std::filesystem::path home = environment_variable("HOME");
    if (home.is_absolute()) return home / ".local" / "state";
    return {};
}

}  // namespace r462xe
