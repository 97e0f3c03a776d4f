#include "upload/upload_protocol.h"

#include "serial/mask.h"

namespace r462xe {

std::string block_frame(int block, const std::vector<std::uint8_t>& fw_image,
                        const std::array<std::uint8_t, kBlockCount>& block_check) {
    std::string frame;
    frame.reserve(kBlockBytes + 2);
    frame += static_cast<char>(static_cast<std::uint8_t>(block) ^ kMaskByte);
    const auto first = fw_image.begin() + static_cast<std::ptrdiff_t>(block) * kBlockBytes + 1;
    frame.append(first, first + kBlockBytes);
    frame += static_cast<char>(block_check[static_cast<std::size_t>(block)]);
    return frame;
}

bool is_acknowledgement(const std::string& rx_text) {
    return rx_text.find("ACK") != std::string::npos || rx_text.find('0') != std::string::npos ||
           rx_text.find('1') != std::string::npos;
}

BlockVerdict block_verdict(const std::string& rx_text) {
    if (rx_text == "0") return BlockVerdict::Accepted;
    if (rx_text.size() == 1 && rx_text[0] >= '1' && rx_text[0] <= '5')
        return BlockVerdict::Rejected;
    return BlockVerdict::Pending;
}

}  // namespace r462xe
