// The thread's execution state: it lasts until changed; the system stays up, the display may go
// dark.
#include "system/keep_awake.h"

#define NOMINMAX
#include <windows.h>

namespace r462xe {

std::string KeepAwake::hold(const std::string&) {
    if (held_) return {};
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0)
        return "SetThreadExecutionState failed";
    held_ = true;
    return {};
}

void KeepAwake::release() {
    if (!held_) return;
    held_ = false;
    SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace r462xe
