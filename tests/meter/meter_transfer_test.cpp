// A whole update: "UPGR 0" writes the flash only after every block has been accepted.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterTransfer, UpgrZeroWritesOnlyAWholeImage) {
    struct Case {
        const char* name;
        int blocks;
        bool normal_after;
        std::string version_after;
    };
    const std::vector<Case> cases = {
        {"all 60 blocks", 60, true, "V3.07"},
        {"59 blocks", 59, false, "V3.05"},
    };
    const std::uint32_t seed = std::random_device{}();
    const std::string image = random_image(seed);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", image seed " + std::to_string(seed));
        Bench bench;
        EXPECT_EQ(bench.exchange_text("UPGR 1\r\n", kNormalBaud), "");
        bench.link.run_for(2.0);
        for (int n = 0; n < c.blocks; ++n) {
            const std::vector<Sent> replies = bench.exchange(frame_on_wire(image, n), kUpdateBaud);
            ASSERT_EQ(replies.size(), 1u) << "block " << n;
            ASSERT_EQ(replies[0].bytes, masked("0")) << "block " << n;
        }
        EXPECT_EQ(bench.exchange_text(masked("UPGR 0\r\n"), kUpdateBaud), "");
        EXPECT_TRUE(bench.meter.restarting());
        EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "");
        bench.link.run_for(2.0);

        EXPECT_FALSE(bench.meter.restarting());
        EXPECT_EQ(bench.meter.in_update_mode(), !c.normal_after);
        EXPECT_EQ(bench.meter.version(), c.version_after);
        if (c.normal_after) {
            EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud),
                      "Marelind,R4622E,SN55250001," + c.version_after + "\r\n");
            EXPECT_EQ(bench.meter.assembled_file(), image);
            EXPECT_TRUE(bench.meter.flash_equals(image));
            for (std::size_t at : {std::size_t{0}, std::size_t{1023}, kImageSize - 1}) {
                std::string other = image;
                other[at] = static_cast<char>(other[at] ^ 0x01);
                EXPECT_FALSE(bench.meter.flash_equals(other)) << "byte " << at;
            }
        } else {
            EXPECT_EQ(bench.meter.expected_block(), 0);
            EXPECT_EQ(bench.meter.assembled_file(), "");
            EXPECT_FALSE(bench.meter.flash_equals(image));
        }
    }
}

}  // namespace
}  // namespace r462xe::sim::test
