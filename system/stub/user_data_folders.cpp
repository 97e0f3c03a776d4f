// A system whose programs keep their data elsewhere: the image lies beside the program only.
#include "system/user_data_folder.h"

namespace r462xe {

std::optional<std::filesystem::path> user_data_folder() {
    return std::nullopt;
}

}  // namespace r462xe
