// The user's own folder for the application data of programs, as the system names it.
#pragma once

#include <filesystem>
#include <optional>

namespace r462xe {

// None where the system has no such folder, or does not say where it is.
std::optional<std::filesystem::path> user_data_folder();

}  // namespace r462xe
