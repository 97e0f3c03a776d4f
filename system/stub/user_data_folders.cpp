// A system that does not say where the data of the user's programs goes.
#include "system/user_data_folders.h"

namespace r462xe {

std::vector<std::filesystem::path> user_data_folders() {
    return {};
}

}  // namespace r462xe
