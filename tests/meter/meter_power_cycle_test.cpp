// Power cycles: what the meter forgets, which mode it comes back in, and the restart it cancels.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterPowerCycle, ComesBackAsItShould) {
    struct Case {
        const char* name;
        bool update_mode;
        std::function<void(Bench&)> before;  // what happens before the power cycle
        bool update_mode_after;
        std::vector<std::pair<std::string, int>> after;  // requests afterwards
        std::string replies;                             // all replies from the cycle on
    };
    const std::vector<Case> cases = {
        {.name = "mid-transfer: block 0 is expected again",
         .update_mode = true,
         .before =
             [](Bench& bench) {
                 for (int n = 0; n < 10; ++n) bench.exchange(frame_on_wire(kImage, n), kUpdateBaud);
             },
         .update_mode_after = true,
         .after = {{frame_on_wire(kImage, 10), kUpdateBaud},
                   {frame_on_wire(kImage, 0), kUpdateBaud}},
         .replies = masked("1") + masked("0")},
        {.name = "normal mode stays normal",
         .update_mode = false,
         .before = [](Bench&) {},
         .update_mode_after = false,
         .after = {{kIdnLine, kNormalBaud}},
         .replies = kIdentityReply},
        {.name = "a pending reply is not sent",
         .update_mode = false,
         .before =
             [](Bench& bench) {
                 bench.host_sends(kIdnLine, kNormalBaud);
                 bench.link.run_until(bench.line_free_at() + 0.001);
             },
         .update_mode_after = false,
         .after = {},
         .replies = ""},
        {.name = "a partial line is forgotten",
         .update_mode = false,
         .before = [](Bench& bench) { bench.exchange("*ID", kNormalBaud); },
         .update_mode_after = false,
         .after = {{"N?\r\n", kNormalBaud}},
         .replies = "*E\r\n"},
        {.name = "a partial frame is forgotten",
         .update_mode = true,
         .before =
             [](Bench& bench) {
                 bench.exchange(frame_on_wire(kImage, 0).substr(0, 100), kUpdateBaud, 0);
             },
         .update_mode_after = true,
         .after = {{frame_on_wire(kImage, 0), kUpdateBaud}},
         .replies = masked("0")},
        {.name = "during the UPGR 1 restart: update mode at once",
         .update_mode = false,
         .before =
             [](Bench& bench) {
                 bench.exchange("UPGR 1\r\n", kNormalBaud);
                 bench.link.run_for(1.0);
             },
         .update_mode_after = true,
         .after = {{masked("UPGR 1\r\n"), kUpdateBaud}},
         .replies = masked("ACK\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        c.before(bench);
        const std::size_t first = bench.link.sent().size();
        bench.meter.power_cycle();
        EXPECT_FALSE(bench.meter.restarting());
        EXPECT_EQ(bench.meter.in_update_mode(), c.update_mode_after);
        EXPECT_EQ(bench.meter.expected_block(), 0);
        for (const auto& [bytes, baud] : c.after) bench.exchange(bytes, baud);
        bench.link.run_for(kSettle);
        std::string replies;
        for (std::size_t i = first; i < bench.link.sent().size(); ++i) {
            replies += bench.link.sent()[i].bytes;
        }
        EXPECT_EQ(replies, c.replies);
    }
}

TEST(MeterPowerCycle, EarlierBlocksDoNotCountForUpgrZero) {
    Bench bench(update_mode_faults());
    for (int n = 0; n < 30; ++n) bench.exchange(frame_on_wire(kImage, n), kUpdateBaud);
    bench.meter.power_cycle();
    for (int n = 30; n < kBlockCount; ++n) {
        ASSERT_EQ(bench.exchange_text(frame_on_wire(kImage, n), kUpdateBaud), masked("1"));
    }
    bench.exchange(masked("UPGR 0\r\n"), kUpdateBaud);
    bench.link.run_for(2.1);
    EXPECT_TRUE(bench.meter.in_update_mode());
    EXPECT_EQ(bench.meter.version(), "V3.05");
    EXPECT_EQ(bench.meter.assembled_file(), "");

    // A whole transfer of another image afterwards is written alone, with nothing left over.
    const std::string other = random_image(463);
    for (int n = 0; n < kBlockCount; ++n) {
        ASSERT_EQ(bench.exchange_text(frame_on_wire(other, n), kUpdateBaud), masked("0"));
    }
    bench.exchange(masked("UPGR 0\r\n"), kUpdateBaud);
    bench.link.run_for(2.1);
    EXPECT_FALSE(bench.meter.in_update_mode());
    EXPECT_TRUE(bench.meter.flash_equals(other));
}

TEST(MeterPowerCycle, CancelsThePendingRestart) {
    Bench bench;
    bench.exchange("UPGR 1\r\n", kNormalBaud);
    const double first_restart_ends = bench.line_free_at() + 2.0;
    bench.link.run_for(1.5);
    bench.meter.power_cycle();
    // A second restart begins; the first one's end must not cut it short.
    bench.exchange(masked("UPGR 0\r\n"), kUpdateBaud);
    bench.link.run_until(first_restart_ends + 0.2);
    EXPECT_TRUE(bench.meter.restarting());
    bench.link.run_for(2.0);
    EXPECT_FALSE(bench.meter.restarting());
}

}  // namespace
}  // namespace r462xe::sim::test
