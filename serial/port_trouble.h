// Why a port operation failed, as far as the system tells: what a user can act on.
#pragma once

#include <string>

namespace r462xe {

enum class PortFault {
    Other,    // anything else; the system's text says what
    Absent,   // the port number names no device, or its device is not there
    NoRight,  // the user may not open the device
    Held,     // another program holds the device
    Gone,     // the device went away while the port was open (a cable pulled)
};

struct PortTrouble {
    PortFault fault = PortFault::Other;
    std::string device{};         // the device the port number names; empty when unknown
    std::string system_text{};    // the system's own words, when it gave any
    std::string group{};          // NoRight: the group that owns the device, where groups exist
    bool group_may_open = false;  // NoRight: that group may read and write the device
};

}  // namespace r462xe
