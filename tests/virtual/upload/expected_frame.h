// The block frame the meter must receive, worked out from the raw image file alone, apart from the
// updater's own preparation: transfer block n carries file block 59 - n read backwards, each byte
// with its hexadecimal digits exchanged, then the check byte, and everything masked.
#pragma once

#include <cstdint>
#include <string>

namespace r462xe::upload_test {

inline std::string expected_block_frame(const std::string& file, int block) {
    constexpr int kMask = 0x6B;
    constexpr int kSize = 1024;
    const std::string file_block = file.substr(static_cast<std::size_t>(59 - block) * kSize, kSize);
    std::string frame(1, static_cast<char>(block ^ kMask));
    int sum = block;
    for (auto byte = file_block.rbegin(); byte != file_block.rend(); ++byte) {
        const int value = static_cast<std::uint8_t>(*byte);
        const int exchanged = (value % 16) * 16 + value / 16;
        sum += exchanged;
        frame += static_cast<char>(exchanged ^ kMask);
    }
    frame += static_cast<char>((255 - sum % 256) ^ kMask);
    return frame;
}

}  // namespace r462xe::upload_test
