// The computer is kept awake from the press of "Upload Firmware" until the update's last message
// has been answered, on every way an update ends, and a press that starts no update lets it sleep
// again once its message has been answered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "rig/messages.h"
#include "rig/upload_rig.h"

namespace r462xe {
namespace {

using testing::kMeterPort;
using testing::kPowerCycleMessage;
using testing::kPowerCycleTitle;
using testing::kSuccessMessage;
using testing::message_line;
using testing::UploadRig;

constexpr const char* kReason =
    "Updating the firmware of an R462xE meter; an interrupted update leaves the meter without "
    "firmware";
// The virtual clock steps a microsecond past a deadline; a release this close after the box's
// OK comes with it.
constexpr double kSameMoment = 1e-3;

struct EndCase {
    const char* name;
    // The faults of the meter on the port; none for a port where nothing answers.
    std::function<void(sim::MeterFaults&)> fault;
    // Between the load and the press; none for a meter that start-up found.
    std::function<void(UploadRig&)> before_press;
    std::string message;
    bool blocks_sent;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class KeepAwake : public ::testing::TestWithParam<EndCase> {};

TEST_P(KeepAwake, FromThePressUntilTheLastMessageIsAnswered) {
    const auto& param = GetParam();
    UploadRig rig;
    if (param.fault) {
        sim::MeterFaults faults;
        param.fault(faults);
        rig.world.add_meter(kMeterPort, {}, faults);
    } else {
        rig.world.add_port(kMeterPort);
    }
    rig.load();
    if (param.before_press) param.before_press(rig);
    ASSERT_TRUE(rig.world.sleep.calls.empty()) << "nothing is held before the press";
    std::vector<bool> held_under_a_box;
    rig.world.messages.on_show = [&](const sim::ShownMessage&) {
        held_under_a_box.push_back(rig.world.sleep.held());
    };

    rig.press_upload();
    rig.run_for(120);

    const auto shown = rig.messages_since_press();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(message_line(shown[0]), param.message);
    EXPECT_THAT(held_under_a_box, ::testing::ElementsAre(true));
    const auto& calls = rig.world.sleep.calls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].hold);
    EXPECT_EQ(calls[0].why, kReason);
    EXPECT_EQ(calls[0].time, rig.press_time());
    EXPECT_FALSE(calls[1].hold);
    const double answered = shown[0].time + rig.world.messages.answer_after;
    EXPECT_GE(calls[1].time, answered);
    EXPECT_LT(calls[1].time, answered + kSameMoment);
    EXPECT_FALSE(rig.world.sleep.held());
    const auto frames = rig.frames();
    EXPECT_EQ(!frames.empty(), param.blocks_sent);
    for (const auto& frame : frames) {
        EXPECT_GE(frame.time, calls[0].time) << "block " << frame.block;
        EXPECT_LT(frame.time, calls[1].time) << "block " << frame.block;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Upload, KeepAwake,
    ::testing::Values(EndCase{"Success", [](sim::MeterFaults&) {}, {}, kSuccessMessage, true},
                      EndCase{"NoAcknowledgement",
                              [](sim::MeterFaults& f) { f.never_acknowledge = true; },
                              {},
                              kPowerCycleMessage,
                              false},
                      EndCase{"TooManyRejections",
                              [](sim::MeterFaults& f) {
                                  f.reject_block = 20;
                                  f.reject_always = true;
                              },
                              {},
                              kPowerCycleMessage,
                              true},
                      EndCase{"ReplyTimeOut",
                              [](sim::MeterFaults& f) { f.silent_from_block = 20; },
                              {},
                              kPowerCycleMessage,
                              true},
                      // The run-time-error path stops the transfer before its message shows.
                      EndCase{"CablePulled",
                              [](sim::MeterFaults& f) { f.unplug_at_block = 20; },
                              {},
                              kPowerCycleMessage,
                              true},
                      EndCase{"NoAnswerAfterTheUpdate",
                              [](sim::MeterFaults& f) { f.hang_after_leave = true; },
                              {},
                              kPowerCycleMessage,
                              true},
                      EndCase{"RefusedPortCannotBeOpened", nullptr,
                              [](UploadRig& rig) {
                                  rig.world.port.hold_port(kMeterPort);
                                  rig.handle([&] { rig.form.COM1.user_pick(0); });
                              },
                              "COM Port fail | Fail to open COM Port! | critical", false},
                      EndCase{
                          "RefusedNoMeterAnswers", nullptr,
                          [](UploadRig& rig) { rig.handle([&] { rig.form.COM1.user_pick(0); }); },
                          "NO Link | Meter Disconnected | critical", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A failed update and the one after the power cycle: each holds the computer awake on its own.
TEST(KeepAwake, EachUpdateTakesItsOwnHold) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.never_acknowledge = true;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title != kPowerCycleTitle) return;
        meter.faults().never_acknowledge = false;
        meter.power_cycle();
    };
    rig.press_upload();
    rig.run_for(120);
    const double first_press = rig.press_time();
    rig.press_upload();
    rig.run_for(120);
    ASSERT_TRUE(meter.flash_equals(rig.image));

    std::vector<std::string> calls;
    for (const auto& call : rig.world.sleep.calls) calls.push_back(call.hold ? "hold" : "release");
    EXPECT_THAT(calls, ::testing::ElementsAre("hold", "release", "hold", "release"));
    ASSERT_EQ(rig.world.sleep.calls.size(), 4u);
    EXPECT_EQ(rig.world.sleep.calls[0].time, first_press);
    EXPECT_EQ(rig.world.sleep.calls[2].time, rig.press_time());
    EXPECT_LT(rig.world.sleep.calls[1].time, rig.press_time());
}

}  // namespace
}  // namespace r462xe
