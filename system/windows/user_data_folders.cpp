// Windows: the user's local application data folder (%LOCALAPPDATA%), which stays on this
// computer and which the user may write without an administrator.
#include "system/user_data_folders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace r462xe {

std::vector<std::filesystem::path> user_data_folders() {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
        CoTaskMemFree(folder);
        return {};
    }
    std::filesystem::path path(folder);
    CoTaskMemFree(folder);
    return {path};
}

}  // namespace r462xe
