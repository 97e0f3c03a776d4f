// What the system's file permissions say about opening a serial device, for telling a user
// without the right from a device that another program holds: the open refuses both alike.
#pragma once

#include <string>

namespace r462xe {

struct DeviceAccess {
    bool may_open = true;         // this process may read and write the device (or cannot tell)
    std::string refusal;          // when it may not: the system's words for it
    std::string group;            // the group that owns the device; empty where there are none
    bool group_may_open = false;  // members of that group may read and write it
};

DeviceAccess device_access(const std::string& path);

}  // namespace r462xe
