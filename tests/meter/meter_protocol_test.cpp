// The meter protocol's pure pieces: the check byte, the exchanged hexadecimal digits and the
// mask, and the image file undone from a whole transfer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "meter/meter_bench.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterProtocol, CheckByte) {
    struct Case {
        const char* name;
        int number;
        std::string data;
        int expected;
    };
    auto data_with = [](std::uint8_t fill, int first = -1) {
        std::string data(kBlockSize, static_cast<char>(fill));
        if (first >= 0) data[0] = static_cast<char>(first);
        return data;
    };
    const std::vector<Case> cases = {
        {"all zero, block 0", 0, data_with(0), 255},
        {"sum is a multiple of 256", 3, data_with(1), 252},
        {"block number counts", 59, data_with(0xFF), 196},
        {"sum 255", 1, data_with(0, 0xFE), 0},
        {"sum wraps to 0", 2, data_with(0, 0xFE), 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(block_check_byte(static_cast<std::uint8_t>(c.number), c.data), c.expected)
            << c.name;
    }
}

TEST(MeterProtocol, NibbleSwapAndMask) {
    const std::vector<std::pair<int, int>> swaps = {
        {0x12, 0x21}, {0x00, 0x00}, {0xF0, 0x0F}, {0xAB, 0xBA}, {0x77, 0x77}};
    for (auto [in, out] : swaps) {
        EXPECT_EQ(nibble_swapped(static_cast<std::uint8_t>(in)), out) << in;
    }
    EXPECT_EQ(masked("U"), "\x3E");  // a command frame's first byte on the wire
    EXPECT_EQ(masked("0"), "\x5B");
    EXPECT_EQ(masked("\n"), "\x61");  // the probe's line feeds read as block 0x61
    EXPECT_EQ(masked(masked("ACK\r\n")), "ACK\r\n");
}

TEST(MeterProtocol, FileFromTransferUndoesThePreparation) {
    std::string transfer;
    for (int n = 0; n < kBlockCount; ++n) transfer += transfer_block(kImage, n);
    EXPECT_EQ(file_from_transfer(transfer), kImage);
    EXPECT_EQ(file_from_transfer(transfer.substr(1)), "");
}

}  // namespace
}  // namespace r462xe::sim::test
