// The meter's faults: a plain "UPGR 1" that goes unheard, a meter that hangs after "UPGR 0", and
// the faults of the update mode (rejections, silence, garbage, a pulled cable).
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterFaults, MissedPlainUpdateCommandsGoUnheard) {
    MeterFaults faults;
    faults.miss_enter_first = 1;
    Bench bench(faults);
    EXPECT_EQ(bench.exchange_text("UPGR 1\r\n", kNormalBaud), "");
    EXPECT_FALSE(bench.meter.restarting());
    EXPECT_FALSE(bench.meter.in_update_mode());
    EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), kIdentityReply);
    // The next one is heard.
    EXPECT_EQ(bench.exchange_text("UPGR 1\r\n", kNormalBaud), "");
    EXPECT_TRUE(bench.meter.restarting());
    bench.link.run_for(2.1);
    EXPECT_TRUE(bench.meter.in_update_mode());
}

TEST(MeterFaults, HangAfterLeaveWritesThenAnswersNothingUntilAPowerCycle) {
    MeterFaults faults = update_mode_faults();
    faults.hang_after_leave = true;
    Bench bench(faults);
    for (int n = 0; n < kBlockCount; ++n) {
        ASSERT_EQ(bench.exchange_text(frame_on_wire(kImage, n), kUpdateBaud), masked("0"));
    }
    EXPECT_EQ(bench.exchange_text(masked("UPGR 0\r\n"), kUpdateBaud), "");
    bench.link.run_for(30);
    EXPECT_TRUE(bench.meter.restarting());
    EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "");
    EXPECT_EQ(bench.exchange_text(masked("UPGR 1\r\n"), kUpdateBaud), "");
    EXPECT_EQ(bench.exchange_text(std::string(1028, '\n'), kUpdateBaud, 0.3), "");
    EXPECT_TRUE(bench.meter.flash_equals(kImage));

    bench.meter.power_cycle();
    EXPECT_FALSE(bench.meter.restarting());
    EXPECT_FALSE(bench.meter.in_update_mode());
    EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "Marelind,R4622E,SN55250001,V3.07\r\n");
}

TEST(MeterFaults, UpdateModeFaults) {
    // A step sends a good block by number, or a command.
    struct Step {
        int block = -1;
        std::string command;
    };
    auto b = [](int n) { return Step{n, ""}; };
    auto cmd = [](const char* text) { return Step{-1, text}; };
    struct Case {
        const char* name;
        std::function<void(MeterFaults&)> fault;
        std::vector<Step> steps;
        std::vector<std::string> replies;  // unmasked, "" for none
        int expected_after;
        int unplugs;
    };
    const std::vector<Case> cases = {
        {.name = "reject block 2 once",
         .fault = [](MeterFaults& f) { f.reject_block = 2; },
         .steps = {b(0), b(1), b(2), b(2), b(3)},
         .replies = {"0", "0", "1", "0", "0"},
         .expected_after = 4,
         .unplugs = 0},
        {.name = "reject block 2 always",
         .fault =
             [](MeterFaults& f) {
                 f.reject_block = 2;
                 f.reject_always = true;
             },
         .steps = {b(0), b(1), b(2), b(2), b(2)},
         .replies = {"0", "0", "1", "1", "1"},
         .expected_after = 2,
         .unplugs = 0},
        {.name = "reject block 0 once",
         .fault = [](MeterFaults& f) { f.reject_block = 0; },
         .steps = {b(0), b(0)},
         .replies = {"1", "0"},
         .expected_after = 1,
         .unplugs = 0},
        {.name = "silent from block 2",
         .fault = [](MeterFaults& f) { f.silent_from_block = 2; },
         .steps = {b(0), b(1), b(2), b(2), b(3)},
         .replies = {"0", "0", "", "", ""},
         .expected_after = 2,
         .unplugs = 0},
        {.name = "silent, commands still answered",
         .fault = [](MeterFaults& f) { f.silent_from_block = 1; },
         .steps = {b(0), b(1), cmd("UPGR 1\r\n")},
         .replies = {"0", "", "ACK\r\n"},
         .expected_after = 1,
         .unplugs = 0},
        {.name = "never acknowledge",
         .fault = [](MeterFaults& f) { f.never_acknowledge = true; },
         .steps = {cmd("UPGR 1\r\n"), b(0)},
         .replies = {"", "0"},
         .expected_after = 1,
         .unplugs = 0},
        {.name = "acknowledge",
         .fault = [](MeterFaults&) {},
         .steps = {cmd("UPGR 1\n"), cmd("UPGR 2\r\n")},
         .replies = {"ACK\r\n", ""},
         .expected_after = 0,
         .unplugs = 0},
        {.name = "garbage reply at block 1",
         .fault =
             [](MeterFaults& f) {
                 f.block_reply_verbatim = std::string("\x00?\r\n", 4);
                 f.reply_verbatim_block = 1;
             },
         .steps = {b(0), b(1), b(2)},
         .replies = {"0", std::string("\x00?\r\n", 4), "0"},
         .expected_after = 3,
         .unplugs = 0},
        {.name = "unplug at block 1",
         .fault = [](MeterFaults& f) { f.unplug_at_block = 1; },
         .steps = {b(0), b(1)},
         .replies = {"0", ""},
         .expected_after = 1,
         .unplugs = 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults = update_mode_faults();
        c.fault(faults);
        Bench bench(faults);
        ASSERT_EQ(c.steps.size(), c.replies.size());
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            const std::string bytes =
                step.block >= 0 ? frame_on_wire(kImage, step.block) : masked(step.command);
            EXPECT_EQ(bench.exchange_text(bytes, kUpdateBaud), masked(c.replies[i]))
                << "step " << i;
        }
        EXPECT_EQ(bench.meter.expected_block(), c.expected_after);
        EXPECT_EQ(bench.link.unplugs(), c.unplugs);
    }
}

}  // namespace
}  // namespace r462xe::sim::test
