// A system without device groups (Windows): it refuses a port that another program holds with
// "access denied", and there is no group a user could join to open one.
#include "system/device_access.h"

namespace r462xe {

DeviceAccess device_access(const std::string&) {
    return {};
}

}  // namespace r462xe
