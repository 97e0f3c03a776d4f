#include "sim/meter/meter_protocol.h"

namespace r462xe::sim {

std::string masked(std::string_view bytes) {
    std::string out(bytes);
    for (char& byte : out) byte = static_cast<char>(static_cast<std::uint8_t>(byte) ^ kMask);
    return out;
}

std::uint8_t nibble_swapped(std::uint8_t byte) {
    return static_cast<std::uint8_t>((byte << 4) | (byte >> 4));
}

std::uint8_t block_check_byte(std::uint8_t number, std::string_view data) {
    unsigned sum = number;
    for (char byte : data) sum += static_cast<std::uint8_t>(byte);
    return static_cast<std::uint8_t>(255 - sum % 256);
}

std::string file_from_transfer(std::string_view transfer) {
    if (transfer.size() != kImageSize) return {};
    std::string file;
    file.reserve(kImageSize);
    for (int file_block = 0; file_block < kBlockCount; ++file_block) {
        const std::size_t transfer_block = kBlockCount - 1 - file_block;
        const std::string_view stored = transfer.substr(transfer_block * kBlockSize, kBlockSize);
        for (auto byte = stored.rbegin(); byte != stored.rend(); ++byte) {
            file.push_back(static_cast<char>(nibble_swapped(static_cast<std::uint8_t>(*byte))));
        }
    }
    return file;
}

}  // namespace r462xe::sim
