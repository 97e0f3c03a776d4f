#include "image/image_transform.h"
#include "serial/mask.h"

namespace r462xe {

std::uint8_t swap_nibbles(std::uint8_t byte) {
    return static_cast<std::uint8_t>((byte << 4) | (byte >> 4));
}

std::uint8_t block_check_byte(std::uint32_t swapped_sum, int block) {
    const auto low_byte =
        static_cast<std::uint8_t>((swapped_sum + static_cast<std::uint32_t>(block)) & 0xFF);
    return static_cast<std::uint8_t>(255 - low_byte);
}

void prepare_image(const std::string& file, std::vector<std::uint8_t>& fw_image,
                   std::array<std::uint8_t, kBlockCount>& block_check) {
    // The first byte of the file lands at index 61,440, the last at index 1.
    for (int p = 1; p <= kImageBytes; ++p) {
        fw_image[static_cast<std::size_t>(kImageBytes + 1 - p)] =
            swap_nibbles(static_cast<std::uint8_t>(file[static_cast<std::size_t>(p - 1)]));
    }
    for (int b = 0; b < kBlockCount; ++b) {
        std::uint32_t sum = 0;
        for (int j = 1; j <= kBlockBytes; ++j) {
            auto& byte =
                fw_image[static_cast<std::size_t>(b) * kBlockBytes + static_cast<std::size_t>(j)];
            sum += byte;
            byte ^= kMaskByte;
        }
        block_check[static_cast<std::size_t>(b)] = block_check_byte(sum, b) ^ kMaskByte;
    }
}

}  // namespace r462xe
