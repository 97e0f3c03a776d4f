// The firmware image's preparation for sending: byte order reversed, hexadecimal digits of every
// byte exchanged, masked, one check byte per block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_layout.h"

namespace r462xe {

// The byte with its two hexadecimal digits exchanged (0x12 gives 0x21).
std::uint8_t swap_nibbles(std::uint8_t byte);

// Check byte of a block before masking: 255 minus the low byte of (sum of the block's
// nibble-exchanged bytes + the block's index).
std::uint8_t block_check_byte(std::uint32_t swapped_sum, int block);

// Turns the file's 61,440 bytes into the form in which they are sent: byte order reversed,
// nibbles exchanged, masked, one masked check byte per 1,024-byte block. `fw_image` gets indexes
// 1 to 61,440 (index 0 is not used).
void prepare_image(const std::string& file, std::vector<std::uint8_t>& fw_image,
                   std::array<std::uint8_t, kBlockCount>& block_check);

}  // namespace r462xe
