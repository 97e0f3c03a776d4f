// The progress bar's text: the phase of the update and the time left, from the known waits (9 s
// for the restart into the update mode, 3 s for its acknowledgement, 10 s for the restart after
// "UPGR 0", about 4.5 s to check the meter) and the pace of the blocks.
#include <gtest/gtest.h>

#include <ostream>

#include "upload/update_progress.h"

namespace r462xe {
namespace {

struct TextCase {
    const char* name;
    UpdateMoment moment;
    double seconds_left;
    std::string text;
};

void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgressText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ProgressText, PhaseAndTimeLeft) {
    const TextCase& c = GetParam();
    EXPECT_NEAR(seconds_left(c.moment), c.seconds_left, 1e-9);
    EXPECT_EQ(progress_text(c.moment), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, ProgressText,
    ::testing::Values(
        // 9 + 3 s, 60 blocks at 0.6 s, 10 s, 4.5 s.
        TextCase{
            "EnteringFromNormalMode",
            {.phase = UpdatePhase::EnteringUpdateMode, .waits_ahead = 12, .seconds_per_block = 0.6},
            62.5,
            "Entering the update mode - about 63 s left"},
        TextCase{
            "EnteringAfterTheRestart",
            {.phase = UpdatePhase::EnteringUpdateMode, .waits_ahead = 3, .seconds_per_block = 0.6},
            53.5,
            "Entering the update mode - about 54 s left"},
        // The block going out is still to cross: 38 blocks left at block 23.
        TextCase{"Block23",
                 {.phase = UpdatePhase::SendingBlocks, .block = 23, .seconds_per_block = 0.6},
                 37.3,
                 "Block 23 of 60 - about 38 s left"},
        TextCase{"Block1AtASlowerPace",
                 {.phase = UpdatePhase::SendingBlocks, .block = 1, .seconds_per_block = 1.0},
                 74.5,
                 "Block 1 of 60 - about 75 s left"},
        TextCase{"Block60",
                 {.phase = UpdatePhase::SendingBlocks, .block = 60, .seconds_per_block = 0.6},
                 15.1,
                 "Block 60 of 60 - about 16 s left"},
        TextCase{"Restarting",
                 {.phase = UpdatePhase::MeterRestarting},
                 14.5,
                 "The meter is restarting - about 15 s left"},
        TextCase{"Checking",
                 {.phase = UpdatePhase::CheckingMeter},
                 4.5,
                 "Checking the meter - about 5 s left"},
        TextCase{"NoUpdate", {.phase = UpdatePhase::None}, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockPace, FirstEstimateFromTheLineSpeedUpToTheTickThatReadsTheVerdict) {
    // 1027 bytes of 10 bits: 0.535 s at 19200 baud, read on the 6th tick; 1.070 s at 9600.
    EXPECT_NEAR(first_block_pace(19200), 0.6, 1e-9);
    EXPECT_NEAR(first_block_pace(9600), 1.1, 1e-9);
    EXPECT_NEAR(first_block_pace(115200), 0.1, 1e-9);
}

}  // namespace
}  // namespace r462xe
