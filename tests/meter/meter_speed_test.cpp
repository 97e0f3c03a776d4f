// Line speeds: the meter hears only bytes sent at its own speed, and nothing while it restarts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterSpeed, BytesAtAnotherSpeedAreDropped) {
    struct Case {
        const char* name;
        bool update_mode;
        std::vector<std::pair<std::string, int>> sends;  // bytes and the host's speed
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"*IDN? at 9600 in normal mode", false, {{kIdnLine, 9600}}, kIdentityReply},
        {"*IDN? at 19200 in normal mode", false, {{kIdnLine, 19200}}, ""},
        {"*IDN? at 4800 in normal mode", false, {{kIdnLine, 4800}}, ""},
        {"a garbled start does not join the line",
         false,
         {{"*ID", 19200}, {"N?\r\n", 9600}},
         "*E\r\n"},
        {"UPGR 1 at 19200 in update mode",
         true,
         {{masked("UPGR 1\r\n"), 19200}},
         masked("ACK\r\n")},
        {"UPGR 1 at 9600 in update mode", true, {{masked("UPGR 1\r\n"), 9600}}, ""},
        {"plain UPGR 1 in update mode", true, {{"UPGR 1\r\n", 19200}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        std::string replies;
        for (const auto& [bytes, baud] : c.sends) replies += bench.exchange_text(bytes, baud);
        EXPECT_EQ(replies, c.reply);
    }
}

TEST(MeterSpeed, Reception) {
    struct Case {
        const char* name;
        bool update_mode;
        bool restarting;
        int baud;
        Reception expected;
    };
    const std::vector<Case> cases = {
        {.name = "normal at 9600",
         .update_mode = false,
         .restarting = false,
         .baud = 9600,
         .expected = Reception::heard},
        {.name = "normal at 19200",
         .update_mode = false,
         .restarting = false,
         .baud = 19200,
         .expected = Reception::garbled},
        {.name = "update at 19200",
         .update_mode = true,
         .restarting = false,
         .baud = 19200,
         .expected = Reception::heard},
        {.name = "update at 9600",
         .update_mode = true,
         .restarting = false,
         .baud = 9600,
         .expected = Reception::garbled},
        {.name = "restarting, at the new speed",
         .update_mode = false,
         .restarting = true,
         .baud = 19200,
         .expected = Reception::deaf},
        {.name = "restarting, at the old speed",
         .update_mode = false,
         .restarting = true,
         .baud = 9600,
         .expected = Reception::deaf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        if (c.restarting) {
            bench.exchange("UPGR 1\r\n", kNormalBaud);
            ASSERT_TRUE(bench.meter.restarting());
        }
        EXPECT_EQ(bench.meter.receive('*', c.baud), c.expected);
    }
}

}  // namespace
}  // namespace r462xe::sim::test
