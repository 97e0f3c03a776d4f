// The update mode's frames and replies, as pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_layout.h"

namespace r462xe {

inline constexpr const char* kEnterUpdateMode = "UPGR 1\r\n";
inline constexpr const char* kLeaveUpdateMode = "UPGR 0\r\n";

// The 1026 bytes of block `block`: its masked number, its 1,024 prepared bytes, its check byte
// (both already masked in the prepared image).
std::string block_frame(int block, const std::vector<std::uint8_t>& fw_image,
                        const std::array<std::uint8_t, kBlockCount>& block_check);

// The meter acknowledged "UPGR 1": the reply holds "ACK", "0" or "1" anywhere.
bool is_acknowledgement(const std::string& rx_text);

enum class BlockVerdict { Accepted, Rejected, Pending };

// "0" exactly accepts the block; "1" to "5" exactly reject it; anything else is not (yet) a
// verdict.
BlockVerdict block_verdict(const std::string& rx_text);

}  // namespace r462xe
