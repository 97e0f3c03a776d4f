// The folder where the system keeps what the user's programs remember between runs (their state:
// histories, logs), which the user may write without an administrator.
#pragma once

#include <filesystem>

namespace r462xe {

// Empty where the system has no such folder or does not say where it is.
std::filesystem::path user_state_folder();

}  // namespace r462xe
