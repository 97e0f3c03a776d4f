// The folders where the system keeps the data of the user's programs, as the system names them:
// places the user may put a file into without an administrator (the first), and the shared ones
// the system's settings add after it.
#pragma once

#include <filesystem>
#include <vector>

namespace r462xe {

// In the order to look in, the user's own first; none where the system has no such folder or
// does not say where it is.
std::vector<std::filesystem::path> user_data_folders();

}  // namespace r462xe
