// A system whose state folder this program does not know: no history is kept there.
#include "system/user_state_folder.h"

namespace r462xe {

std::filesystem::path user_state_folder() {
    return {};
}

}  // namespace r462xe
