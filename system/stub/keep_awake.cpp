// A system with no service to keep it awake that this program knows.
#include "system/keep_awake.h"

namespace r462xe {

std::string KeepAwake::hold(const std::string&) {
    return "this system offers no way to keep it awake";
}

void KeepAwake::release() {
    held_ = false;
}

}  // namespace r462xe
