// The firmware image file beside the program, and its preparation for sending.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace r462xe {

inline constexpr const char* kImageFileName = "R462XE_V307_20200521.QF";

// The byte with its two hexadecimal digits exchanged (0x12 gives 0x21).
std::uint8_t swap_nibbles(std::uint8_t byte);

// Check byte of a block before masking: 255 minus the low byte of (sum of the block's
// nibble-exchanged bytes + the block's index).
std::uint8_t block_check_byte(std::uint32_t swapped_sum, int block);

// Turns the file's 61,440 bytes into the form in which they are sent: byte order reversed,
// nibbles exchanged, masked, one masked check byte per 1,024-byte block. `fw_image` gets indexes
// 1 to 61,440 (index 0 is not used).
void prepare_image(const std::string& file, std::vector<std::uint8_t>& fw_image,
                   std::array<std::uint8_t, 60>& block_check);

// The whole file, or nullopt when it is missing, not a regular file, or cannot be read. Reads
// at most `limit` bytes, enough to tell a wrong length. Never creates the file.
std::optional<std::string> read_image_file(const std::filesystem::path& path, std::size_t limit);

}  // namespace r462xe
