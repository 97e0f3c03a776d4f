// Windows keeps the state of the user's programs in the local application data folder
// (%LOCALAPPDATA%), which stays on this computer, beside their data.
#include "system/user_state_folder.h"

#include "system/user_data_folders.h"

namespace r462xe {

std::filesystem::path user_state_folder() {
    const auto folders = user_data_folders();
    return folders.empty() ? std::filesystem::path() : folders.front();
}

}  // namespace r462xe
