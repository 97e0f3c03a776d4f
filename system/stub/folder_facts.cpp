// A system without POSIX owners and modes (Windows): the user's own folder for temporary files
// is closed to other users by the system, so every folder there counts as the user's alone.
#include "system/folder_facts.h"

#include <filesystem>
#include <system_error>

namespace r462xe {

namespace {
constexpr unsigned kTheUser = 0;
constexpr unsigned kOwnerOnly = 0700;
}  // namespace

FolderFacts folder_facts(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (error || !std::filesystem::exists(status)) return {};
    return {true, std::filesystem::is_directory(status), kTheUser, kOwnerOnly};
}

std::string make_private_folder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directory(path, error);
    return error ? error.message() : std::string();
}

unsigned current_user() {
    return kTheUser;
}

}  // namespace r462xe
