// Whole updates against the virtual meter: from a meter in normal mode, from one already in its
// update mode, and the close rule while one runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "expected_frame.h"
#include "rig/messages.h"
#include "rig/upload_rig.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe {
namespace {

using testing::kAllControlsBack;
using testing::kMeterPort;
using testing::kNormalBaud;
using testing::kSuccessMessage;
using testing::kUpdateBaud;
using testing::message_line;
using testing::UploadRig;

constexpr double kTimeSlack = 1e-3;

std::vector<std::string> progress_of_a_whole_update() {
    std::vector<std::string> values{"0"};  // the start
    for (int block = 0; block < 60; ++block) values.push_back(std::to_string(block));
    values.push_back("0");  // the finish
    return values;
}

// Index of the first write equal to `bytes`, or the number of writes.
std::size_t find_write(const std::vector<testing::HostWrite>& writes, const std::string& bytes) {
    std::size_t i = 0;
    while (i < writes.size() && writes[i].bytes != bytes) ++i;
    return i;
}

// Every frame went out once, in order, as worked out from the image file.
void expect_all_blocks_in_order(UploadRig& rig) {
    const auto frames = rig.frames();
    ASSERT_EQ(frames.size(), 60u);
    for (int n = 0; n < 60; ++n) {
        SCOPED_TRACE("block " + std::to_string(n));
        const auto& frame = frames[static_cast<std::size_t>(n)];
        EXPECT_EQ(frame.block, n);
        EXPECT_EQ(static_cast<std::uint8_t>(frame.bytes[0]), n ^ 0x6B);
        EXPECT_TRUE(frame.bytes == upload_test::expected_block_frame(rig.image, n));
    }
}

TEST(CleanUpdate, FromANormalStart) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    ASSERT_TRUE(rig.form.Command2.enabled());
    std::string under_the_box;
    rig.world.messages.on_show = [&](const sim::ShownMessage&) {
        under_the_box = rig.form.Label4.caption() + ", " + rig.controls();
    };

    rig.press_upload();
    EXPECT_EQ(rig.controls(),
              "Command1 off, COM1 off, Command2 off, Label6 shown, Timer1 on, running on");
    rig.run_for(120);

    const auto writes = rig.host_writes();
    ASSERT_GE(writes.size(), 2u);
    // The plain command at the normal speed on the first tick, the masked one 9 s later.
    EXPECT_EQ(writes[0].bytes, "UPGR 1\r\n");
    EXPECT_EQ(writes[0].baud, kNormalBaud);
    EXPECT_EQ(writes[0].time, rig.tick_time(1));
    EXPECT_NEAR(writes[0].time - rig.press_time(), 0.1, kTimeSlack);
    EXPECT_EQ(writes[1].bytes, sim::masked("UPGR 1\r\n"));
    EXPECT_EQ(writes[1].baud, kUpdateBaud);
    EXPECT_NEAR(writes[1].time - writes[0].time, 9.0, kTimeSlack);

    expect_all_blocks_in_order(rig);
    const auto frames = rig.frames();
    ASSERT_FALSE(frames.empty());
    // The acknowledgement is read on the tick after the 3 s wait, and block 0 leaves at once.
    EXPECT_EQ(frames[0].time, rig.tick_time(2));
    EXPECT_NEAR(frames[0].time - writes[1].time, 3.1, kTimeSlack);

    // Block 59's "0" is read on a tick and "UPGR 0" leaves in it: 2 + 60 * 3 writes before it.
    const std::size_t leave = find_write(writes, sim::masked("UPGR 0\r\n"));
    ASSERT_EQ(leave, 182u);
    EXPECT_EQ(writes[leave].baud, kUpdateBaud);
    const double leave_time = writes[leave].time;
    EXPECT_GT(leave_time, frames.back().time + 0.5);
    EXPECT_LT(leave_time, frames.back().time + 1.0);
    for (std::size_t i = 1; i <= leave; ++i) EXPECT_EQ(writes[i].baud, kUpdateBaud) << i;

    // Nothing goes out during the 10 s wait; then the meter is identified again at 9600.
    ASSERT_GT(writes.size(), leave + 1);
    EXPECT_GE(writes[leave + 1].time, leave_time + 10.0);
    const std::size_t query = find_write(writes, "*IDN?\r\n");
    ASSERT_LT(query, writes.size());
    EXPECT_EQ(writes[query].baud, kNormalBaud);

    // The bar shows 59 through the wait, then 0.
    EXPECT_EQ(rig.progress_values(), progress_of_a_whole_update());
    EXPECT_GE(rig.last_change_time("ProgressBar1.value 0"), leave_time + 10.0);

    EXPECT_EQ(rig.form.Label7.caption(), "R4622E");
    EXPECT_EQ(rig.form.Label5.caption(), "SN55250001");
    EXPECT_EQ(rig.form.Label4.caption(), "V3.07");
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    EXPECT_EQ(message_line(rig.world.messages.shown[0]), kSuccessMessage);
    // The new version is on show before the message; the controls come back after it.
    EXPECT_EQ(under_the_box,
              "V3.07, Command1 off, COM1 off, Command2 off, Label6 shown, Timer1 off, running on");
    EXPECT_EQ(rig.controls(), kAllControlsBack);
    EXPECT_FALSE(rig.form.update_mode);
    EXPECT_EQ(rig.form.MSComm1.CommPort(), kMeterPort);
    EXPECT_EQ(rig.form.MSComm1.Settings(), "9600,n,8,1");
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

TEST(CleanUpdate, FromAMeterAlreadyInItsUpdateMode) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.start_in_update_mode = true;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    ASSERT_EQ(rig.form.COM1.items(), std::vector<std::string>{"COM3  :Updating"});
    rig.handle([&] { rig.form.COM1.user_pick(0); });
    ASSERT_TRUE(rig.form.update_mode);
    ASSERT_TRUE(rig.form.Command2.enabled());

    rig.press_upload();
    rig.run_for(120);

    const auto writes = rig.host_writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0].bytes, sim::masked("UPGR 1\r\n"));
    EXPECT_EQ(writes[0].baud, kUpdateBaud);
    EXPECT_EQ(writes[0].time, rig.tick_time(1));
    const std::size_t leave = find_write(writes, sim::masked("UPGR 0\r\n"));
    ASSERT_EQ(leave, 181u);
    for (std::size_t i = 0; i <= leave; ++i) {
        EXPECT_EQ(writes[i].baud, kUpdateBaud) << i;
        EXPECT_NE(writes[i].bytes, "UPGR 1\r\n") << i;
    }

    expect_all_blocks_in_order(rig);
    const auto frames = rig.frames();
    ASSERT_FALSE(frames.empty());
    // The acknowledgement is read right after the 3 s wait, in the first tick.
    EXPECT_NEAR(frames[0].time - writes[0].time, 3.0, kTimeSlack);
    EXPECT_LT(frames[0].time, rig.tick_time(2));

    EXPECT_EQ(rig.progress_values(), progress_of_a_whole_update());
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    EXPECT_EQ(message_line(rig.world.messages.shown[0]), kSuccessMessage);
    EXPECT_EQ(rig.form.Label4.caption(), "V3.07");
    EXPECT_FALSE(rig.form.update_mode);
    EXPECT_EQ(rig.controls(), kAllControlsBack);
    EXPECT_TRUE(meter.flash_equals(rig.image));
    // The entry names the meter as it answered after the update, not as the search found it;
    // its port number reads the same.
    EXPECT_EQ(rig.form.COM1.items(), std::vector<std::string>{"COM3  :" + meter.identity().serial});
    EXPECT_EQ(rig.form.COM1.list_index(), 0);
    EXPECT_EQ(rig.form.COM1.item_tips().at(0).find("update mode"), std::string::npos)
        << rig.form.COM1.item_tips().at(0);
}

TEST(CleanUpdate, ClosingTheWindowIsRefusedWhileItRunsAndEndsTheProgramAfter) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    rig.press_upload();
    bool running_at_close = false;
    rig.world.scheduler.after(30.0, [&] {
        running_at_close = rig.form.upload_running;
        rig.world.window.unload_window();
    });
    rig.run_for(120);
    ASSERT_TRUE(running_at_close);
    EXPECT_FALSE(rig.ended());
    EXPECT_EQ(rig.world.window.close_refusals, 1);
    EXPECT_TRUE(meter.flash_equals(rig.image));
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    EXPECT_EQ(message_line(rig.world.messages.shown[0]), kSuccessMessage);

    rig.handle([&] { rig.world.window.unload_window(); });
    EXPECT_TRUE(rig.ended());
    EXPECT_EQ(rig.world.window.close_refusals, 1);
    EXPECT_EQ(rig.world.window.ended_with, 0);
}

}  // namespace
}  // namespace r462xe
