// The meter's restarts: deaf while restarting, then in its update mode at the update speed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterRestart, DeafThenAtTheNewSpeed) {
    struct Case {
        const char* name;
        bool update_mode;
        std::string command;
        int command_baud;
        double restart_seconds;
    };
    const std::vector<Case> cases = {
        {.name = "UPGR 1 from normal mode",
         .update_mode = false,
         .command = "UPGR 1\r\n",
         .command_baud = kNormalBaud,
         .restart_seconds = 2.0},
        {.name = "UPGR 1 from normal mode, slow restart",
         .update_mode = false,
         .command = "UPGR 1\r\n",
         .command_baud = kNormalBaud,
         .restart_seconds = 5.0},
        {.name = "incomplete UPGR 0",
         .update_mode = true,
         .command = masked("UPGR 0\r\n"),
         .command_baud = kUpdateBaud,
         .restart_seconds = 2.0},
        {.name = "incomplete UPGR 0, slow restart",
         .update_mode = true,
         .command = masked("UPGR 0\r\n"),
         .command_baud = kUpdateBaud,
         .restart_seconds = 5.0},
    };
    const std::string ack_query = masked("UPGR 1\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        faults.restart_seconds = c.restart_seconds;
        Bench bench(faults);
        EXPECT_EQ(bench.exchange_text(c.command, c.command_baud), "");
        const double restart_ends = bench.line_free_at() + c.restart_seconds;
        EXPECT_TRUE(bench.meter.restarting());

        // Nothing is heard until the restart is over, at either speed.
        bench.link.run_until(restart_ends - 0.15);
        EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud, 0), "");
        EXPECT_EQ(bench.exchange_text(ack_query, kUpdateBaud, 0), "");
        ASSERT_LT(bench.line_free_at(), restart_ends);
        bench.link.run_until(restart_ends + 0.01);

        EXPECT_FALSE(bench.meter.restarting());
        EXPECT_TRUE(bench.meter.in_update_mode());
        EXPECT_EQ(bench.meter.baud(), kUpdateBaud);
        EXPECT_EQ(bench.meter.expected_block(), 0);
        EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "");
        EXPECT_EQ(bench.exchange_text(ack_query, kUpdateBaud), masked("ACK\r\n"));
        EXPECT_EQ(bench.meter.version(), "V3.05");
    }
}

}  // namespace
}  // namespace r462xe::sim::test
