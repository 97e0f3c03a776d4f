// The prepared image of a file whose blocks do not all add up to 0 modulo 256, with every expected
// byte worked out by hand: where a file byte lands, nibble-exchanged and masked, and the check
// bytes, summed before the mask.
#include <gtest/gtest.h>

#include "image/image_transform.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

// Zero bytes except five. File block k is prepared block 59 - k, reversed: the byte at file offset
// o lands at index 61,440 - o.
std::string fixture_file() {
    std::string file(kImageBytes, '\0');
    file[61439] = '\x12';  // index 1, first byte of block 0
    file[0] = '\xA0';      // index 61,440, last byte of block 59
    file[30000] = '\x3C';  // index 31,440, in block 30
    file[10240] = '\x01';  // index 51,200, last byte of block 49
    file[10241] = '\x02';  // index 51,199
    return file;
}

struct PreparedByte {
    int index;
    int stored;  // nibble-exchanged, then masked with 0x6B
};

// 0x12 -> 0x21 -> 0x4A; 0xA0 -> 0x0A -> 0x61; 0x3C -> 0xC3 -> 0xA8; 0x01 -> 0x10 -> 0x7B;
// 0x02 -> 0x20 -> 0x4B; a zero byte -> 0x00 -> 0x6B.
const std::vector<PreparedByte> kPreparedBytes = {
    {1, 0x4A}, {2, 0x6B}, {31440, 0xA8}, {51199, 0x4B}, {51200, 0x7B}, {61440, 0x61},
};

struct CheckByte {
    int block;
    int stored;  // 255 - ((sum of the block's exchanged bytes + block) mod 256), masked
};

// Block 0: 0x21 + 0 = 33, 255 - 33 = 222 = 0xDE, stored 0xB5.
// Block 1: 0 + 1, 254 = 0xFE, stored 0x95.
// Block 30: 0xC3 + 30 = 225, 30 = 0x1E, stored 0x75.
// Block 49: 0x10 + 0x20 + 49 = 97, 158 = 0x9E, stored 0xF5.
// Block 58: 0 + 58, 197 = 0xC5, stored 0xAE.
// Block 59: 0x0A + 59 = 69, 186 = 0xBA, stored 0xD1.
const std::vector<CheckByte> kCheckBytes = {
    {0, 0xB5}, {1, 0x95}, {30, 0x75}, {49, 0xF5}, {58, 0xAE}, {59, 0xD1},
};

void expect_fixture_prepared(const std::vector<std::uint8_t>& fw_image,
                             const std::array<std::uint8_t, 60>& block_check) {
    for (const auto& byte : kPreparedBytes) {
        EXPECT_EQ(fw_image[static_cast<std::size_t>(byte.index)], byte.stored)
            << "index " << byte.index;
    }
    for (const auto& check : kCheckBytes) {
        EXPECT_EQ(block_check[static_cast<std::size_t>(check.block)], check.stored)
            << "block " << check.block;
    }
    EXPECT_EQ(fw_image[0], 0) << "index 0 is never written";
}

TEST(PrepareImage, FixtureWithHandWorkedBytesAndCheckBytes) {
    std::vector<std::uint8_t> fw_image(kImageBytes + 1);
    std::array<std::uint8_t, 60> block_check{};
    prepare_image(fixture_file(), fw_image, block_check);
    expect_fixture_prepared(fw_image, block_check);
}

TEST(LoadImage, FixtureIsPreparedAtStartUp) {
    const std::string file = fixture_file();
    testing::WindowRig rig(&file);
    rig.load();
    EXPECT_FALSE(rig.ended());
    EXPECT_TRUE(rig.world.messages.shown.empty());
    expect_fixture_prepared(rig.form.fw_image, rig.form.block_check);
}

}  // namespace
}  // namespace r462xe
