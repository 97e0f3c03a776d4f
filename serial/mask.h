// The mask byte of the meter's update-mode line coding: every byte of the masked traffic, and
// every byte of the prepared image, is combined with it by exclusive or.
#pragma once

#include <cstdint>
#include <string>

namespace r462xe {

inline constexpr std::uint8_t kMaskByte = 0x6B;

inline std::string masked(std::string bytes) {
    for (char& c : bytes) c = static_cast<char>(static_cast<std::uint8_t>(c) ^ kMaskByte);
    return bytes;
}

}  // namespace r462xe
