// A path as the messages show it.
#pragma once

#include <filesystem>
#include <string>

namespace r462xe {

// The path in the system's narrow text; `fallback` when that text cannot hold its letters.
inline std::string path_text(const std::filesystem::path& path, const std::string& fallback) {
    try {
        return path.string();
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace r462xe
