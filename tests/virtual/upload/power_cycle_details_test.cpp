// The power-cycle message keeps its text, title and icon; its details say which failure ended the
// update, in the user's words, where the update stood, and what to do. Standard error gets them
// on one line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "rig/messages.h"
#include "rig/upload_rig.h"

namespace r462xe {
namespace {

using testing::kMeterPort;
using testing::kPowerCycleMessage;
using testing::kPowerCycleTitle;
using testing::message_line;
using testing::UploadRig;

constexpr const char* kTryAgain = "Power cycle the meter, then press \"Upload Firmware\" again.";

struct DetailsCase {
    const char* name;
    std::function<void(sim::MeterFaults&)> fault;
    // Runs after the start-up, before the press.
    std::function<void(UploadRig&, sim::Meter&)> arrange;
    std::string details;
};

void PrintTo(const DetailsCase& c, std::ostream* out) {
    *out << c.name;
}

// Pulls the cable 0.35 s after the frame of block `frame` (counted from 0) has come whole.
void pull_during_frame(int frame, UploadRig& rig, sim::Meter& meter) {
    meter.set_observer([&rig, frame](const sim::MeterEvent& event) {
        if (event.kind != sim::MeterEvent::Kind::block) return;
        if (static_cast<std::uint8_t>(event.text[0]) != frame - 1) return;
        rig.world.scheduler.after(0.35, [&rig] { rig.line().unplug(); });
    });
}

void on_leave_command(sim::Meter& meter, std::function<void()> action) {
    meter.set_observer([action = std::move(action)](const sim::MeterEvent& event) {
        if (event.kind == sim::MeterEvent::Kind::command && event.text == "UPGR 0\r\n") action();
    });
}

void no_fault(sim::MeterFaults&) {}
void nothing(UploadRig&, sim::Meter&) {}

class PowerCycleDetails : public ::testing::TestWithParam<DetailsCase> {};

TEST_P(PowerCycleDetails, SayWhichFailureItWasAndWhatToDo) {
    const auto& param = GetParam();
    UploadRig rig;
    sim::MeterFaults faults;
    param.fault(faults);
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    param.arrange(rig, meter);
    const std::size_t logged_before = rig.world.error_log.lines.size();

    rig.press_upload();
    rig.run_for(120);
    const auto shown = rig.messages_since_press();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(message_line(shown[0]), kPowerCycleMessage);
    EXPECT_EQ(shown[0].details, param.details + "\n");
    ASSERT_GT(rig.world.error_log.lines.size(), logged_before);
    EXPECT_EQ(rig.world.error_log.lines.back().line,
              std::string(kPowerCycleTitle) + ": " + param.details);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PowerCycleDetails,
    ::testing::Values(
        DetailsCase{"NoAcknowledgement", [](sim::MeterFaults& f) { f.never_acknowledge = true; },
                    nothing,
                    std::string("The meter did not acknowledge the update command. Check that it "
                                "is switched on and faces the cable. ") +
                        kTryAgain},
        DetailsCase{"TooManyRejections",
                    [](sim::MeterFaults& f) {
                        f.reject_block = 20;
                        f.reject_always = true;
                    },
                    nothing,
                    std::string("The meter rejected blocks more than 10 times in this update, the "
                                "last time block 21 of 60: the infrared link is disturbed. Keep "
                                "the meter still in front of the cable. ") +
                        kTryAgain},
        DetailsCase{"StoppedAnswering", [](sim::MeterFaults& f) { f.silent_from_block = 20; },
                    nothing,
                    std::string("The meter stopped answering after block 20 of 60: block 21 of "
                                "60 got no answer. ") +
                        kTryAgain},
        DetailsCase{"NoAnswerToTheFirstBlock", [](sim::MeterFaults& f) { f.silent_from_block = 0; },
                    nothing, std::string("The meter did not answer block 1 of 60. ") + kTryAgain},
        DetailsCase{"CablePulledDuringABlock", no_fault,
                    [](UploadRig& rig, sim::Meter& meter) { pull_during_frame(10, rig, meter); },
                    std::string("The cable or its device (COM3, /dev/ttyV3) went away during "
                                "block 11 of 60. Plug the cable in again. ") +
                        kTryAgain},
        DetailsCase{"CablePulledAsTheBlockCame", [](sim::MeterFaults& f) { f.unplug_at_block = 3; },
                    nothing,
                    std::string("The cable or its device (COM3, /dev/ttyV3) went away during "
                                "block 4 of 60. Plug the cable in again. ") +
                        kTryAgain},
        DetailsCase{"CablePulledWhileTheMeterRestartsIntoItsUpdateMode", no_fault,
                    [](UploadRig& rig, sim::Meter&) {
                        rig.world.scheduler.after(4.6, [&rig] { rig.line().unplug(); });
                    },
                    std::string("The cable or its device (COM3, /dev/ttyV3) went away while the "
                                "meter entered its update mode. Plug the cable in again. ") +
                        kTryAgain},
        DetailsCase{"CablePulledWhileTheMeterRestartsAfterTheUpdate", no_fault,
                    [](UploadRig& rig, sim::Meter& meter) {
                        on_leave_command(meter, [&rig] {
                            rig.world.scheduler.after(5.0, [&rig] { rig.line().unplug(); });
                        });
                    },
                    std::string("The cable or its device (COM3, /dev/ttyV3) went away after the "
                                "last block, while the meter restarted. Plug the cable in "
                                "again. ") +
                        kTryAgain},
        DetailsCase{"NoAnswerAfterTheUpdate",
                    [](sim::MeterFaults& f) { f.hang_after_leave = true; }, nothing,
                    std::string("All 60 blocks were sent, but the meter did not answer after the "
                                "update. ") +
                        kTryAgain},
        DetailsCase{"StillInItsUpdateModeAfterTheUpdate", no_fault,
                    [](UploadRig&, sim::Meter& meter) {
                        // Switched off and on as "UPGR 0" comes: the meter forgets the blocks.
                        on_leave_command(meter, [&meter] { meter.power_cycle(); });
                    },
                    std::string("All 60 blocks were sent, but the meter still answers from its "
                                "update mode: it did not take the new firmware. ") +
                        kTryAgain}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe
