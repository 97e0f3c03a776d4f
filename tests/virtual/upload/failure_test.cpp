// How an update ends when it fails: the power-cycle message, what the window gives back, and a
// second press after the power cycle that sends the whole image again. Also the pulled cable, and
// the presses that are refused before anything is sent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "rig/blocks.h"
#include "rig/messages.h"
#include "rig/upload_rig.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe {
namespace {

using testing::all_blocks;
using testing::kAllControlsBack;
using testing::kMeterPort;
using testing::kNormalBaud;
using testing::kPowerCycleMessage;
using testing::kPowerCycleTitle;
using testing::kSuccessMessage;
using testing::kUpdateBaud;
using testing::message_lines;
using testing::UploadRig;

// While the message shows, the update still runs as far as the window can tell.
constexpr const char* kStillRunning =
    "Command1 off, COM1 off, Command2 off, Label6 shown, Timer1 off, running on";
constexpr const char* kRunTimeErrorControls =
    "Command1 off, COM1 on, Command2 on, Label6 hidden, Timer1 off, running off";

struct FailureCase {
    const char* name;
    std::function<void(sim::MeterFaults&)> fault;
    // What the power cycle puts right, besides the meter's receiver.
    std::function<void(sim::Meter&, sim::VirtualLine&)> cure;
    std::string under_the_box;  // the bar and the controls while the message shows
    std::string controls_after;
    int progress_after;
    bool update_mode_after;
    std::string retry_first_write;  // what the second press sends first ...
    int retry_first_baud;           // ... and at which speed
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class FailurePath : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailurePath, MessageAndControlsThenASecondPressAfterAPowerCycle) {
    const auto& param = GetParam();
    UploadRig rig;
    sim::MeterFaults faults;
    param.fault(faults);
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    std::vector<std::string> under_the_box;
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        under_the_box.push_back("progress " +
                                std::to_string(static_cast<int>(rig.form.ProgressBar1.value())) +
                                ", " + rig.controls());
        if (message.title == kPowerCycleTitle) {
            param.cure(meter, rig.line());
            meter.power_cycle();
        }
    };

    rig.press_upload();
    rig.run_for(100);
    EXPECT_THAT(message_lines(rig.messages_since_press()),
                ::testing::ElementsAre(kPowerCycleMessage));
    EXPECT_THAT(under_the_box, ::testing::ElementsAre(param.under_the_box));
    EXPECT_EQ(rig.controls(), param.controls_after);
    EXPECT_EQ(rig.form.ProgressBar1.value(), param.progress_after);
    EXPECT_EQ(rig.form.update_mode, param.update_mode_after);
    EXPECT_FALSE(meter.flash_equals(rig.image));

    rig.press_upload();
    rig.run_for(120);
    const auto writes = rig.host_writes();
    ASSERT_FALSE(writes.empty());
    // The no-acknowledgement path leaves the port at the update speed, yet the retry's plain
    // command goes at 9600, where a meter in normal mode hears it; the other retries take the
    // update-mode path.
    EXPECT_EQ(writes[0].bytes, param.retry_first_write);
    EXPECT_EQ(writes[0].baud, param.retry_first_baud);
    EXPECT_EQ(rig.frame_blocks(), all_blocks());
    EXPECT_THAT(message_lines(rig.messages_since_press()), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_EQ(rig.controls(), kAllControlsBack);
    EXPECT_EQ(rig.form.Label4.caption(), "V3.07");
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

INSTANTIATE_TEST_SUITE_P(
    Upload, FailurePath,
    ::testing::Values(
        FailureCase{
            .name = "NoAcknowledgement",
            .fault = [](sim::MeterFaults& f) { f.never_acknowledge = true; },
            .cure = [](sim::Meter& m, sim::VirtualLine&) { m.faults().never_acknowledge = false; },
            .under_the_box = std::string("progress 0, ") + kStillRunning,
            .controls_after = kAllControlsBack,
            .progress_after = 0,
            .update_mode_after = false,
            .retry_first_write = "UPGR 1\r\n",
            .retry_first_baud = kNormalBaud},
        FailureCase{
            .name = "TooManyRejections",
            .fault =
                [](sim::MeterFaults& f) {
                    f.reject_block = 20;
                    f.reject_always = true;
                },
            .cure = [](sim::Meter& m, sim::VirtualLine&) { m.faults().reject_block = -1; },
            .under_the_box = std::string("progress 20, ") + kStillRunning,
            .controls_after =
                "Command1 off, COM1 off, Command2 on, Label6 shown, Timer1 off, running off",
            .progress_after = 0,
            .update_mode_after = true,
            .retry_first_write = sim::masked("UPGR 1\r\n"),
            .retry_first_baud = kUpdateBaud},
        FailureCase{
            .name = "ReplyTimeOut",
            .fault = [](sim::MeterFaults& f) { f.silent_from_block = 20; },
            .cure = [](sim::Meter& m, sim::VirtualLine&) { m.faults().silent_from_block = -1; },
            .under_the_box = std::string("progress 20, ") + kStillRunning,
            .controls_after =
                "Command1 off, COM1 off, Command2 on, Label6 hidden, Timer1 off, running off",
            .progress_after = 0,
            .update_mode_after = true,
            .retry_first_write = sim::masked("UPGR 1\r\n"),
            .retry_first_baud = kUpdateBaud},
        FailureCase{.name = "RunTimeError",
                    .fault = [](sim::MeterFaults& f) { f.unplug_at_block = 20; },
                    .cure = [](sim::Meter&, sim::VirtualLine& line) { line.plug_in(); },
                    .under_the_box = std::string("progress 20, ") + kRunTimeErrorControls,
                    .controls_after = kRunTimeErrorControls,
                    .progress_after = 20,
                    .update_mode_after = true,
                    .retry_first_write = sim::masked("UPGR 1\r\n"),
                    .retry_first_baud = kUpdateBaud}),
    [](const auto& info) { return std::string(info.param.name); });

struct CableCase {
    const char* name;
    // Arranges the pull; runs before the press.
    std::function<void(UploadRig&, sim::Meter&)> arrange;
    int last_block_sent;  // -1: none
    bool update_mode_after;
    // The port choice that the error path runs shows "Updating", or clears the captions when it
    // cannot identify the meter.
    std::string version_caption_after;
};

void PrintTo(const CableCase& c, std::ostream* out) {
    *out << c.name;
}

class CablePulled : public ::testing::TestWithParam<CableCase> {};

TEST_P(CablePulled, EndsOnTheRunTimeErrorPath) {
    const auto& param = GetParam();
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    param.arrange(rig, meter);
    rig.press_upload();
    rig.run_for(100);

    EXPECT_FALSE(rig.ended());
    EXPECT_THAT(message_lines(rig.messages_since_press()),
                ::testing::ElementsAre(kPowerCycleMessage));
    EXPECT_EQ(rig.controls(), kRunTimeErrorControls);
    EXPECT_EQ(rig.form.update_mode, param.update_mode_after);
    EXPECT_EQ(rig.form.Label4.caption(), param.version_caption_after);
    const auto blocks = rig.frame_blocks();
    EXPECT_EQ(blocks.empty() ? -1 : blocks.back(), param.last_block_sent);
    // No tick runs any more.
    const int ticks = rig.world.timer.ticks();
    rig.run_for(5);
    EXPECT_EQ(rig.world.timer.ticks(), ticks);
}

// Pulls the cable while the frame of `block` is crossing the line: it leaves on the first tick
// after block - 1 was answered (within 0.1 s) and takes 0.534 s to cross. Returns when it was
// pulled, once it has been.
std::shared_ptr<double> pull_in_the_middle_of(int block, UploadRig& rig, sim::Meter& meter) {
    auto pulled_at = std::make_shared<double>(-1);
    meter.set_observer([&rig, block, pulled_at](const sim::MeterEvent& event) {
        if (event.kind != sim::MeterEvent::Kind::block) return;
        if (static_cast<std::uint8_t>(event.text[0]) != block - 1) return;
        rig.world.scheduler.after(0.35, [&rig, pulled_at] {
            *pulled_at = rig.world.now();
            rig.line().unplug();
        });
    });
    return pulled_at;
}

INSTANTIATE_TEST_SUITE_P(
    Upload, CablePulled,
    ::testing::Values(
        CableCase{.name = "InTheMiddleOfABlock",
                  .arrange = [](UploadRig& rig,
                                sim::Meter& meter) { pull_in_the_middle_of(10, rig, meter); },
                  .last_block_sent = 10,
                  .update_mode_after = true,
                  .version_caption_after = "Updating"},
        CableCase{.name = "DuringTheWaitAfterThePlainCommand",
                  .arrange =
                      [](UploadRig& rig, sim::Meter&) {
                          rig.world.scheduler.after(4.6, [&rig] { rig.line().unplug(); });
                      },
                  .last_block_sent = -1,
                  .update_mode_after = false,
                  .version_caption_after = ""},
        CableCase{.name = "DuringTheWaitAfterLeavingTheUpdateMode",
                  .arrange =
                      [](UploadRig& rig, sim::Meter& meter) {
                          meter.set_observer([&rig](const sim::MeterEvent& event) {
                              if (event.kind == sim::MeterEvent::Kind::command &&
                                  event.text == "UPGR 0\r\n") {
                                  rig.world.scheduler.after(5.0, [&rig] { rig.line().unplug(); });
                              }
                          });
                      },
                  .last_block_sent = 59,
                  .update_mode_after = false,
                  .version_caption_after = ""},
        // A meter identified earlier: the press starts without looking at the port.
        CableCase{.name = "BeforeThePress",
                  .arrange =
                      [](UploadRig& rig, sim::Meter&) {
                          rig.line().unplug();
                          rig.run_for(10);
                      },
                  .last_block_sent = -1,
                  .update_mode_after = false,
                  .version_caption_after = ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CablePulledMidBlock, TheMeterNeverGetsTheBlockWholeAndTheNextTickFails) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    const auto pulled_at = pull_in_the_middle_of(10, rig, meter);
    rig.press_upload();
    rig.run_for(100);
    const auto frames = rig.frames();
    ASSERT_FALSE(frames.empty());
    ASSERT_EQ(frames.back().block, 10);
    EXPECT_GT(*pulled_at, frames.back().time);
    EXPECT_LT(*pulled_at, frames.back().time + 0.534);
    EXPECT_EQ(meter.expected_block(), 10);
    // The first tick after the pull meets the missing port.
    const auto shown = rig.messages_since_press();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_GT(shown[0].time, *pulled_at);
    EXPECT_LE(shown[0].time, *pulled_at + 0.1);
}

struct RefusalCase {
    const char* name;
    bool held_at_pick;   // another program has the port when the user picks it
    bool held_at_press;  // ... and still when "Upload Firmware" is pressed
    std::string message;
    bool identification_tried;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedPress : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedPress, MessageAndTheControlsBackWithNothingSent) {
    const auto& param = GetParam();
    UploadRig rig;
    rig.world.add_port(kMeterPort);  // nobody on it
    rig.load();
    if (param.held_at_pick) rig.world.port.hold_port(kMeterPort);
    rig.handle([&] { rig.form.COM1.user_pick(0); });
    ASSERT_EQ(rig.form.port_ok, !param.held_at_pick);
    ASSERT_TRUE(rig.form.idn_version.empty());
    if (!param.held_at_press) rig.world.port.release_port(kMeterPort);

    rig.press_upload();
    rig.run_for(5);
    EXPECT_THAT(message_lines(rig.messages_since_press()), ::testing::ElementsAre(param.message));
    EXPECT_EQ(rig.controls(), kAllControlsBack);
    EXPECT_EQ(rig.ticks_since_press(), 0);
    EXPECT_TRUE(rig.progress_values().empty());
    std::vector<std::string> sent;
    for (const auto& write : rig.host_writes()) sent.push_back(write.bytes);
    EXPECT_THAT(sent, ::testing::Not(::testing::Contains(::testing::HasSubstr("UPGR"))));
    EXPECT_THAT(sent, ::testing::Not(::testing::Contains(sim::masked("UPGR 1\r\n"))));
    if (param.identification_tried) {
        EXPECT_THAT(sent, ::testing::Contains("*IDN?\r\n"));
    } else {
        EXPECT_TRUE(sent.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Upload, RefusedPress,
    ::testing::Values(RefusalCase{.name = "PortCannotBeOpened",
                                  .held_at_pick = true,
                                  .held_at_press = true,
                                  .message = "COM Port fail | Fail to open COM Port! | critical",
                                  .identification_tried = false},
                      RefusalCase{.name = "PortOpensButNoMeterAnswers",
                                  .held_at_pick = true,
                                  .held_at_press = false,
                                  .message = "NO Link | Meter Disconnected | critical",
                                  .identification_tried = true},
                      RefusalCase{.name = "PortOpenButNoMeterAnswers",
                                  .held_at_pick = false,
                                  .held_at_press = false,
                                  .message = "NO Link | Meter Disconnected | critical",
                                  .identification_tried = true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe

namespace r462xe {
namespace {

// The meter misses "UPGR 0" and stays in its update mode: the window must not say the update
// succeeded; it asks for the power cycle, and the next press sends the image again.
TEST(LostLeaveCommand, IsNoSuccessAndTheNextPressSendsTheImageAgain) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    // The meter's receiver loses the 8 bytes that follow its acceptance of block 59.
    int lost = 0;
    rig.line().set_device([&](std::uint8_t byte, int baud) {
        if (meter.expected_block() == 60 && meter.in_update_mode() && lost < 8) {
            ++lost;
            return;
        }
        meter.receive(byte, baud);
    });
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title == kPowerCycleTitle) meter.power_cycle();
    };

    rig.press_upload();
    rig.run_for(120);
    EXPECT_EQ(lost, 8);
    EXPECT_THAT(message_lines(rig.messages_since_press()),
                ::testing::ElementsAre(kPowerCycleMessage));
    EXPECT_TRUE(rig.form.update_mode);
    EXPECT_EQ(rig.form.Label4.caption(), "Updating");
    EXPECT_EQ(rig.controls(), kAllControlsBack);
    EXPECT_FALSE(meter.flash_equals(rig.image));

    rig.press_upload();
    rig.run_for(120);
    EXPECT_EQ(rig.frame_blocks(), all_blocks());
    EXPECT_THAT(message_lines(rig.messages_since_press()), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

}  // namespace
}  // namespace r462xe
