// The firmware image file beside the program.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace r462xe {

inline constexpr const char* kImageFileName = "R462XE_V307_20200521.QF";
// The program's folder in the user's application data folder, where the image may lie too.
inline constexpr const char* kUserImageFolderName = "r462xe-fwupdate";

// The whole file, or nullopt when it is missing, not a regular file, or cannot be read. Reads
// at most `limit` bytes, enough to tell a wrong length. Never creates the file.
std::optional<std::string> read_image_file(const std::filesystem::path& path, std::size_t limit);

}  // namespace r462xe
