// Linux desktops name these folders by the XDG base directories: $XDG_DATA_HOME (by default
// ~/.local/share), the user's own, then each folder of $XDG_DATA_DIRS (by default /usr/local/share
// and /usr/share). A path that is not absolute is not one of them, and is passed over.
#include "system/user_data_folders.h"

#include <sstream>
#include <string>

#include "system/environment.h"

namespace r462xe {

std::vector<std::filesystem::path> user_data_folders() {
    std::vector<std::filesystem::path> folders;
    const std::filesystem::path data_home = environment_variable("XDG_DATA_HOME");
    const std::string home = environment_variable("HOME");
    if (data_home.is_absolute())
        folders.push_back(data_home);
    else if (std::filesystem::path(home).is_absolute())
        folders.push_back(std::filesystem::path(home) / ".local" / "share");
    std::string data_dirs = environment_variable("XDG_DATA_DIRS");
    if (data_dirs.empty()) data_dirs = "/usr/local/share:/usr/share";
    std::istringstream entries(data_dirs);
    for (std::string entry; std::getline(entries, entry, ':');) {
        if (std::filesystem::path(entry).is_absolute()) folders.emplace_back(entry);
    }
    return folders;
}

}  // namespace r462xe
