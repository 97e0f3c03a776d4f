// The firmware image of the real-time tests: its file name and made-up contents (never a real
// image), the same in every run.
#pragma once

#include <cstddef>
#include <string>

namespace r462xe::e2e {

inline constexpr const char* kImageName = "R462XE_V307_20200521.QF";
inline constexpr std::size_t kImageBytes = 61440;

// `length` bytes that differ from block to block, so that a block sent in the wrong place shows.
inline std::string image_of_length(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 1024) & 0xFF);
    return bytes;
}

inline std::string test_image() {
    return image_of_length(kImageBytes);
}

}  // namespace r462xe::e2e
