// What a press of "Upload Firmware" sets up before the first tick: the progress bar's range, and
// for a meter already in its update mode the listed port reopened as it was configured.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "rig/messages.h"
#include "rig/upload_rig.h"

namespace r462xe {
namespace {

using testing::kMeterPort;
using testing::kPowerCycleTitle;
using testing::UploadRig;

TEST(UploadStart, TheBarRangesOverTheBlockNumbersAndIsFullAfterTheLastBlock) {
    UploadRig rig;
    rig.world.add_meter(kMeterPort);
    rig.load();
    rig.press_upload();
    EXPECT_THAT(rig.changes_of("ProgressBar1.max"), ::testing::ElementsAre("ProgressBar1.max 59"));
    rig.run_for(120);
    EXPECT_EQ(rig.form.ProgressBar1.max(), 59);
    std::vector<int> shown;
    for (const auto& value : rig.progress_values()) shown.push_back(std::stoi(value));
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(*std::max_element(shown.begin(), shown.end()), 59) << "the bar is full";
}

struct UpdateModePressCase {
    const char* name;
    bool starts_in_update_mode;
    // Brings the window to a press with the meter in its update mode.
    std::function<void(UploadRig&, sim::Meter&)> arrange;
    std::string settings_at_the_press;
};

TEST(UploadStart, InUpdateModeTheListedPortIsReopenedWithItsSettingsAndLabel2TurnsBlack) {
    const std::vector<UpdateModePressCase> cases = {
        {"meter found in its update mode and picked", true,
         [](UploadRig& rig, sim::Meter&) { rig.handle([&] { rig.form.COM1.user_pick(0); }); },
         "9600,n,8,1"},
        // The reply time-out leaves the port at the update speed.
        {"second press after a reply time-out", false,
         [](UploadRig& rig, sim::Meter& meter) {
             meter.faults().silent_from_block = 20;
             rig.world.messages.on_show = [&meter](const sim::ShownMessage& message) {
                 if (message.title != kPowerCycleTitle) return;
                 meter.faults().silent_from_block = -1;
                 meter.power_cycle();
             };
             rig.press_upload();
             rig.run_for(100);
         },
         "19200,n,8,1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UploadRig rig;
        sim::MeterFaults faults;
        faults.start_in_update_mode = c.starts_in_update_mode;
        sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
        rig.load();
        c.arrange(rig, meter);
        ASSERT_TRUE(rig.form.update_mode);
        ASSERT_TRUE(rig.form.Command2.enabled());
        const std::size_t before = rig.changes.size();
        rig.press_upload();
        std::vector<std::string> label2;
        for (std::size_t i = before; i < rig.changes.size(); ++i) {
            if (rig.changes[i].line.rfind("Label2", 0) == 0) label2.push_back(rig.changes[i].line);
        }
        EXPECT_THAT(label2, ::testing::ElementsAre("Label2.colour 0"));
        EXPECT_TRUE(rig.form.MSComm1.PortOpen());
        EXPECT_EQ(rig.form.MSComm1.CommPort(), kMeterPort);
        EXPECT_EQ(rig.form.MSComm1.Settings(), c.settings_at_the_press);
    }
}

}  // namespace
}  // namespace r462xe
