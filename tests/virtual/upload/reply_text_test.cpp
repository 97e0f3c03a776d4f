// How the transfer reads the meter's replies: which texts acknowledge "UPGR 1", which texts are a
// block's verdict, and on which tick each wait gives up. The test plays the meter's side of the
// line by hand, so that each reply is waiting at a chosen read.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <utility>

#include "rig/messages.h"
#include "rig/upload_rig.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe {
namespace {

using testing::kAllControlsBack;
using testing::kMeterPort;
using testing::kPowerCycleMessage;
using testing::kUpdateBaud;
using testing::message_line;
using testing::UploadRig;

// Replies as (read number, text): the text is waiting when that read of the state is made.
using Replies = std::vector<std::pair<int, std::string>>;

// COM3 with nobody on it; the window knows the meter there as one in its update mode, so a press
// goes straight to the masked "UPGR 1" and the first tick already makes the first read.
struct HandPlayedMeter {
    HandPlayedMeter() {
        rig.world.add_port(kMeterPort);
        rig.load();
        rig.form.update_mode = true;
        rig.handle([&] { rig.form.COM1.user_pick(0); });
    }

    // `text`, masked as the meter sends it, is waiting when tick `tick` (2 or later) reads.
    void reply_before_tick(int tick, const std::string& text) {
        rig.after_tick[tick - 1].push_back(
            [this, text] { rig.line().send(sim::masked(text), kUpdateBaud); });
    }

    UploadRig rig;
};

struct AcknowledgementCase {
    const char* name;
    Replies replies;      // read n of the acknowledgement wait is tick n
    int acknowledged_at;  // 0: never
};

void PrintTo(const AcknowledgementCase& c, std::ostream* out) {
    *out << c.name;
}

class Acknowledgement : public ::testing::TestWithParam<AcknowledgementCase> {};

TEST_P(Acknowledgement, TextAndTick) {
    const auto& param = GetParam();
    HandPlayedMeter meter;
    UploadRig& rig = meter.rig;
    for (const auto& [read, text] : param.replies) meter.reply_before_tick(read, text);
    rig.press_upload();
    rig.run_for(15);

    const auto frames = rig.frames();
    if (param.acknowledged_at > 0) {
        // Block 0 leaves in the tick that reads the acknowledgement.
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames[0].block, 0);
        EXPECT_EQ(frames[0].time, rig.tick_time(param.acknowledged_at));
        EXPECT_TRUE(rig.form.update_mode);
    } else {
        EXPECT_TRUE(frames.empty());
        const auto shown = rig.messages_since_press();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(message_line(shown[0]), kPowerCycleMessage);
        EXPECT_EQ(shown[0].time, rig.tick_time(101));
        EXPECT_EQ(rig.controls(), kAllControlsBack);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Upload, Acknowledgement,
    ::testing::Values(AcknowledgementCase{"TheMetersAck", {{2, "ACK\r\n"}}, 2},
                      AcknowledgementCase{"AckFollowedByMore", {{2, "ACK..."}}, 2},
                      AcknowledgementCase{"ZeroAlone", {{4, "0"}}, 4},
                      AcknowledgementCase{"OneAlone", {{4, "1"}}, 4},
                      AcknowledgementCase{"TenCounts", {{4, "10"}}, 4},
                      AcknowledgementCase{"OneInsideOtherText", {{4, "xx1yy"}}, 4},
                      AcknowledgementCase{
                          "AckInPiecesOverThreeReads", {{2, "A"}, {3, "C"}, {4, "K"}}, 4},
                      AcknowledgementCase{"NoneOfTheThree", {{2, "NAK 2345\r\n"}}, 0},
                      AcknowledgementCase{"LowerCaseAck", {{2, "ack"}}, 0},
                      AcknowledgementCase{"Nothing", {}, 0},
                      AcknowledgementCase{"OnTheHundredthRead", {{100, "ACK\r\n"}}, 100},
                      AcknowledgementCase{"OnTheHundredAndFirstRead", {{101, "ACK\r\n"}}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

enum class Outcome { Accepted, Rejected, TimedOut };

struct BlockReplyCase {
    const char* name;
    Replies replies;  // read n of block 0's reply wait is tick 2 + n
    Outcome outcome;
    int at_read;
};

void PrintTo(const BlockReplyCase& c, std::ostream* out) {
    *out << c.name;
}

class BlockReply : public ::testing::TestWithParam<BlockReplyCase> {};

TEST_P(BlockReply, TextAndTick) {
    const auto& param = GetParam();
    HandPlayedMeter meter;
    UploadRig& rig = meter.rig;
    // Acknowledged on tick 2, which sends block 0.
    meter.reply_before_tick(2, "ACK\r\n");
    constexpr int kBlockZeroTick = 2;
    for (const auto& [read, text] : param.replies) {
        meter.reply_before_tick(kBlockZeroTick + read, text);
    }
    rig.press_upload();
    rig.run_for(10);

    const auto frames = rig.frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].block, 0);
    ASSERT_EQ(frames[0].time, rig.tick_time(kBlockZeroTick));
    // The start's 0, block 0's and what the verdict brought (the next block's wait may time out
    // later on).
    auto progress = rig.progress_values();
    progress.resize(std::min<std::size_t>(progress.size(), 3));
    const double verdict_time = rig.tick_time(kBlockZeroTick + param.at_read);
    switch (param.outcome) {
        case Outcome::Accepted:
            ASSERT_GE(frames.size(), 2u);
            EXPECT_EQ(frames[1].block, 1);
            EXPECT_EQ(frames[1].time, verdict_time);
            EXPECT_EQ(progress, (std::vector<std::string>{"0", "0", "1"}));
            break;
        case Outcome::Rejected:
            ASSERT_GE(frames.size(), 2u);
            EXPECT_EQ(frames[1].block, 0);
            EXPECT_EQ(frames[1].time, verdict_time);
            EXPECT_EQ(frames[1].bytes, frames[0].bytes);
            EXPECT_EQ(progress, (std::vector<std::string>{"0", "0", "0"}));
            break;
        case Outcome::TimedOut: {
            EXPECT_EQ(frames.size(), 1u);
            const auto shown = rig.messages_since_press();
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(message_line(shown[0]), kPowerCycleMessage);
            EXPECT_EQ(shown[0].time, verdict_time);
            EXPECT_EQ(rig.controls(),
                      "Command1 off, COM1 off, Command2 on, Label6 hidden, Timer1 off, "
                      "running off");
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Upload, BlockReply,
    ::testing::Values(
        BlockReplyCase{"ZeroOnTheFirstRead", {{1, "0"}}, Outcome::Accepted, 1},
        BlockReplyCase{"ZeroOnTheFiftiethRead", {{50, "0"}}, Outcome::Accepted, 50},
        BlockReplyCase{"ZeroOnTheFiftyFirstRead", {{51, "0"}}, Outcome::TimedOut, 51},
        BlockReplyCase{"One", {{2, "1"}}, Outcome::Rejected, 2},
        BlockReplyCase{"Two", {{2, "2"}}, Outcome::Rejected, 2},
        BlockReplyCase{"Three", {{2, "3"}}, Outcome::Rejected, 2},
        BlockReplyCase{"Four", {{2, "4"}}, Outcome::Rejected, 2},
        BlockReplyCase{"Five", {{2, "5"}}, Outcome::Rejected, 2},
        BlockReplyCase{"Six", {{2, "6"}}, Outcome::TimedOut, 51},
        BlockReplyCase{"DoubleZero", {{2, "00"}}, Outcome::TimedOut, 51},
        BlockReplyCase{"ZeroWithLineEnd", {{2, "0\r\n"}}, Outcome::TimedOut, 51},
        BlockReplyCase{"TwoRepliesReadTogether", {{2, "1"}, {2, "0"}}, Outcome::TimedOut, 51},
        BlockReplyCase{"ZeroAfterEarlierBytes", {{2, "\r\n"}, {3, "0"}}, Outcome::TimedOut, 51},
        BlockReplyCase{"Nothing", {}, Outcome::TimedOut, 51}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe
