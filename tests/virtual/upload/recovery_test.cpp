// The ways back after an update that went wrong, as a user meets them: the press the window offers
// next must be able to succeed, and the success message must mean a meter that came back in its
// normal mode with the new firmware.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

constexpr double kUpdateSeconds = 120;  // a whole update with room to spare

std::vector<std::string> messages_since_press(const UploadRig& rig) {
    return message_lines(rig.messages_since_press());
}

// The meter misses the plain "UPGR 1" (an infrared link drops a command now and then): the update
// fails without an acknowledgement and leaves the port at the update speed. The next press must
// send the plain command where a meter in normal mode hears it, at 9600 baud.
TEST(MissedPlainCommand, TheNextPressSendsItAtTheNormalSpeedAndUpdates) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.miss_enter_first = 1;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title == kPowerCycleTitle) meter.power_cycle();
    };

    rig.press_upload();
    rig.run_for(kUpdateSeconds);
    ASSERT_THAT(messages_since_press(rig), ::testing::ElementsAre(kPowerCycleMessage));
    ASSERT_EQ(rig.controls(), kAllControlsBack);
    ASSERT_FALSE(rig.form.update_mode);
    ASSERT_EQ(rig.form.MSComm1.Settings(), "19200,n,8,1");
    ASSERT_FALSE(meter.in_update_mode());

    rig.press_upload();
    rig.run_for(kUpdateSeconds);
    const auto writes = rig.host_writes();
    ASSERT_GE(writes.size(), 2u);
    EXPECT_EQ(writes[0].bytes, "UPGR 1\r\n");
    EXPECT_EQ(writes[0].baud, kNormalBaud);
    EXPECT_EQ(writes[1].bytes, sim::masked("UPGR 1\r\n"));
    EXPECT_EQ(writes[1].baud, kUpdateBaud);
    EXPECT_EQ(rig.frame_blocks(), all_blocks());
    EXPECT_THAT(messages_since_press(rig), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_TRUE(meter.flash_equals(rig.image));
    EXPECT_FALSE(meter.in_update_mode());
}

// Where the port already has the normal settings, the plain command leaves without a reopen: the
// first tick opens the port once, for the update speed.
TEST(MissedPlainCommand, APortAtTheNormalSettingsIsNotReopened) {
    struct Case {
        const char* name;
        int miss_enter_first;  // failed updates before the one that is watched
        int opens_in_first_tick;
    };
    const std::vector<Case> cases = {
        {"a clean start", 0, 1},
        {"after a missed plain command", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UploadRig rig;
        sim::MeterFaults faults;
        faults.miss_enter_first = c.miss_enter_first;
        rig.world.add_meter(kMeterPort, {}, faults);
        rig.load();
        for (int i = 0; i < c.miss_enter_first; ++i) {
            rig.press_upload();
            rig.run_for(kUpdateSeconds);
        }
        int opens_before = 0;
        int opens_after = 0;
        rig.press_upload();
        opens_before = rig.world.port.opens();
        rig.after_tick[1].push_back([&] { opens_after = rig.world.port.opens(); });
        rig.run_for(kUpdateSeconds);
        EXPECT_EQ(opens_after - opens_before, c.opens_in_first_tick);
        EXPECT_THAT(messages_since_press(rig), ::testing::ElementsAre(kSuccessMessage));
    }
}

// After "UPGR 0" the final identification finds nothing: a meter that does not come back, or a
// port that fails inside that identification. No success message over blank labels: the
// power-cycle message, the controls back, and the next press updates again.
TEST(NoAnswerAfterTheUpdate, IsNoSuccessAndTheNextPressUpdatesAgain) {
    struct Case {
        const char* name;
        std::function<void(UploadRig&, sim::Meter&)> arrange;
        std::function<void(UploadRig&, sim::Meter&)> cure;  // when the power cycle is asked for
    };
    const std::vector<Case> cases = {
        {"the meter hangs until it is power-cycled",
         [](UploadRig&, sim::Meter& meter) { meter.faults().hang_after_leave = true; },
         [](UploadRig&, sim::Meter& meter) { meter.faults().hang_after_leave = false; }},
        {"the cable is pulled during the identification",
         [](UploadRig& rig, sim::Meter& meter) {
             // The finish waits 10 s after "UPGR 0"; 10.5 s after the meter took it, the
             // identification is in its first wait on the reopened port.
             meter.set_observer([&rig](const sim::MeterEvent& event) {
                 if (event.kind == sim::MeterEvent::Kind::restart_begun &&
                     event.reason == sim::RestartReason::leave_update) {
                     rig.world.scheduler.after(10.5, [&rig] { rig.line().unplug(); });
                 }
             });
         },
         [](UploadRig& rig, sim::Meter& meter) {
             meter.set_observer(nullptr);
             rig.line().plug_in();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UploadRig rig;
        sim::Meter& meter = rig.world.add_meter(kMeterPort);
        rig.load();
        c.arrange(rig, meter);
        std::string under_the_box;
        rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
            under_the_box = "[" + rig.form.Label7.caption() + "|" + rig.form.Label5.caption() +
                            "|" + rig.form.Label4.caption() + "]";
            if (message.title == kPowerCycleTitle) {
                c.cure(rig, meter);
                meter.power_cycle();
            }
        };

        rig.press_upload();
        rig.run_for(kUpdateSeconds);
        EXPECT_EQ(rig.frame_blocks(), all_blocks());
        EXPECT_THAT(messages_since_press(rig), ::testing::ElementsAre(kPowerCycleMessage));
        EXPECT_EQ(rig.controls(), kAllControlsBack);
        EXPECT_TRUE(rig.form.idn_version.empty());
        EXPECT_FALSE(rig.form.update_mode);

        // The meter is back, with the new firmware it wrote: the next press identifies it and
        // sends the image again.
        rig.press_upload();
        rig.run_for(kUpdateSeconds);
        EXPECT_EQ(rig.frame_blocks(), all_blocks());
        EXPECT_THAT(messages_since_press(rig), ::testing::ElementsAre(kSuccessMessage));
        EXPECT_EQ(under_the_box, "[R4622E|SN55250001|V3.07]");
        EXPECT_TRUE(meter.flash_equals(rig.image));
    }
}

// A press with no meter identified finds the meter in its update mode: the update starts, as the
// next press would, instead of "Meter Disconnected" for a meter that answered.
TEST(MeterFoundInUpdateModeAtThePress, TheUpdateStarts) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    // Block 59 is rejected, but a stray "0" stands in for the verdict: the meter does not take
    // "UPGR 0" as complete, restarts into its update mode and hangs there.
    meter.faults().reject_block = 59;
    meter.faults().reply_verbatim_block = 59;
    meter.faults().block_reply_verbatim = "0";
    meter.faults().hang_after_leave = true;
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title != kPowerCycleTitle) return;
        meter.faults() = {};
        meter.power_cycle();
    };
    rig.press_upload();
    rig.run_for(kUpdateSeconds);
    ASSERT_THAT(messages_since_press(rig), ::testing::ElementsAre(kPowerCycleMessage));
    ASSERT_TRUE(meter.in_update_mode());
    ASSERT_FALSE(rig.form.update_mode);
    ASSERT_TRUE(rig.form.idn_version.empty());
    ASSERT_TRUE(rig.form.Command2.enabled());

    rig.press_upload();
    rig.run_for(kUpdateSeconds);
    EXPECT_THAT(messages_since_press(rig), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_EQ(rig.frame_blocks(), all_blocks());
    // The identification probed once and found the update mode; no plain command went out.
    for (const auto& write : rig.host_writes()) {
        EXPECT_NE(write.bytes, "UPGR 1\r\n");
        EXPECT_NE(write.bytes, "*IDN?\r\n") << "at " << write.time;
        if (write.bytes == sim::masked("UPGR 0\r\n")) break;
    }
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

// After a search that found no meter the list shows no entry, yet the port that was searched last
// is open and its meter answers; an update there must end on that port, not fail at its finish
// for want of a port number in the list's text.
TEST(UpdateWithNoListEntryShown, EndsOnThePortItUsed) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    // The meter is busy through the search's three queries and answers the one after them.
    meter.faults().star_e_first = 1 + 3;
    rig.handle([&] { rig.form.Command1_Click(); });
    ASSERT_EQ(rig.form.COM1.text(), "");
    ASSERT_EQ(rig.form.Label4.caption(), "V3.05");
    ASSERT_TRUE(rig.form.Command2.enabled());

    rig.press_upload();
    rig.run_for(kUpdateSeconds);
    EXPECT_EQ(rig.frame_blocks(), all_blocks());
    EXPECT_THAT(messages_since_press(rig), ::testing::ElementsAre(kSuccessMessage));
    EXPECT_EQ(rig.form.Label4.caption(), "V3.07");
    EXPECT_EQ(rig.form.MSComm1.CommPort(), kMeterPort);
    EXPECT_EQ(rig.controls(), kAllControlsBack);
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

}  // namespace
}  // namespace r462xe
