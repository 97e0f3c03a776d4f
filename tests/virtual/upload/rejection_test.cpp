// Blocks the meter rejects: each is sent again unchanged, ten in one update are borne, the
// eleventh fails it, and an earlier update's rejections do not count against a later one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <ostream>

#include "rig/messages.h"
#include "rig/upload_rig.h"

namespace r462xe {
namespace {

using testing::kMeterPort;
using testing::kPowerCycleMessage;
using testing::kSuccessMessage;
using testing::message_lines;
using testing::UploadRig;

// Has the meter reject each of `blocks` once, in the order they come; the resent block is then
// accepted.
void reject_once_each(sim::Meter& meter, std::deque<int> blocks) {
    auto pending = std::make_shared<std::deque<int>>(std::move(blocks));
    meter.faults().reject_always = true;
    meter.faults().reject_block = pending->empty() ? -1 : pending->front();
    meter.set_observer([&meter, pending](const sim::MeterEvent& event) {
        if (event.kind != sim::MeterEvent::Kind::block || pending->empty()) return;
        if (static_cast<std::uint8_t>(event.text[0]) != pending->front()) return;
        pending->pop_front();
        meter.faults().reject_block = pending->empty() ? -1 : pending->front();
    });
}

// Blocks 0..59 in order, with each of `rejected` sent twice in a row.
std::vector<int> blocks_with_resends(const std::vector<int>& rejected) {
    std::vector<int> blocks;
    for (int n = 0; n < 60; ++n) {
        blocks.push_back(n);
        if (std::find(rejected.begin(), rejected.end(), n) != rejected.end()) blocks.push_back(n);
    }
    return blocks;
}

std::vector<int> every(int step, int count) {
    std::vector<int> blocks;
    for (int i = 0; i < count; ++i) blocks.push_back(i * step);
    return blocks;
}

TEST(Rejection, TheBlockIsSentAgainUnchangedWithTheSameProgress) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.reject_block = 7;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    rig.press_upload();
    rig.run_for(120);

    const auto frames = rig.frames();
    ASSERT_EQ(rig.frame_blocks(), blocks_with_resends({7}));
    EXPECT_EQ(frames[8].bytes, frames[7].bytes);
    // The verdict is read on a later tick and the same block leaves in that tick.
    EXPECT_GT(frames[8].time, frames[7].time + 0.5);
    EXPECT_LT(frames[8].time, frames[7].time + 1.0);

    std::vector<std::string> progress{"0"};
    for (int block : blocks_with_resends({7})) progress.push_back(std::to_string(block));
    progress.push_back("0");
    EXPECT_EQ(rig.progress_values(), progress);
    EXPECT_THAT(message_lines(rig.messages_since_press()), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

struct SpreadCase {
    const char* name;
    std::vector<int> rejected;
    bool completes;
};

void PrintTo(const SpreadCase& c, std::ostream* out) {
    *out << c.name;
}

class RejectionsSpreadOverAnUpdate : public ::testing::TestWithParam<SpreadCase> {};

TEST_P(RejectionsSpreadOverAnUpdate, TenAreBorneTheEleventhFails) {
    const auto& param = GetParam();
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    reject_once_each(meter, {param.rejected.begin(), param.rejected.end()});
    rig.press_upload();
    rig.run_for(150);

    const auto shown = message_lines(rig.messages_since_press());
    if (param.completes) {
        EXPECT_EQ(rig.frame_blocks(), blocks_with_resends(param.rejected));
        EXPECT_THAT(shown, ::testing::ElementsAre(kSuccessMessage));
        EXPECT_TRUE(meter.flash_equals(rig.image));
        EXPECT_EQ(rig.form.Label4.caption(), "V3.07");
    } else {
        // The last rejection ends the update: its block is not sent again.
        const int last = param.rejected.back();
        auto expected = blocks_with_resends(param.rejected);
        expected.erase(std::find(expected.begin(), expected.end(), last) + 1, expected.end());
        EXPECT_EQ(rig.frame_blocks(), expected);
        EXPECT_THAT(shown, ::testing::ElementsAre(kPowerCycleMessage));
        EXPECT_EQ(rig.controls(),
                  "Command1 off, COM1 off, Command2 on, Label6 shown, Timer1 off, running off");
        EXPECT_TRUE(rig.form.update_mode);
        EXPECT_FALSE(meter.flash_equals(rig.image));
    }
}

INSTANTIATE_TEST_SUITE_P(Upload, RejectionsSpreadOverAnUpdate,
                         ::testing::Values(SpreadCase{"Ten", every(6, 10), true},
                                           SpreadCase{"Eleven", every(5, 11), false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Rejection, AnEarlierUpdatesRejectionsDoNotCountAgainstTheNext) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    // Ten in the first update, one more in the second: eleven since the program started.
    const std::vector<int> first = every(6, 10);
    std::deque<int> rejected(first.begin(), first.end());
    rejected.push_back(3);
    reject_once_each(meter, rejected);

    rig.press_upload();
    rig.run_for(150);
    ASSERT_EQ(rig.frame_blocks(), blocks_with_resends(first));
    ASSERT_THAT(message_lines(rig.messages_since_press()), ::testing::ElementsAre(kSuccessMessage));
    ASSERT_TRUE(rig.form.Command2.enabled());

    rig.press_upload();
    rig.run_for(150);
    EXPECT_EQ(rig.frame_blocks(), blocks_with_resends({3}));
    EXPECT_THAT(message_lines(rig.messages_since_press()), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

}  // namespace
}  // namespace r462xe
