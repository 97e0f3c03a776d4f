// "Auto Search COM Port" finds and identifies a meter that may not be updated: it says so, and
// "Upload Firmware" stays off, while the list and the search button come back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rig/messages.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

struct AutoSearchCase {
    const char* name;
    std::string model;
    std::string serial;
    bool eligible;
};

TEST(AutoSearch, RefusesAnIneligibleMeterWithTheIncompatibleHardwareMessage) {
    const std::vector<AutoSearchCase> cases = {
        {"supported model, serial number at or below its threshold", "R4622E", "SN55230000", false},
        {"another model of the family", "R4624E", "SN99999999", false},
        {"supported model above its threshold", "R4623E", "SN55230000", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        rig.world.add_meter(2, {.model = c.model, .serial = c.serial});
        rig.load();
        const std::size_t messages_before = rig.world.messages.shown.size();
        rig.changes.clear();
        std::vector<bool> enabled_when_told;
        rig.world.messages.on_show = [&](const sim::ShownMessage&) {
            enabled_when_told = {rig.form.COM1.enabled(), rig.form.Command1.enabled(),
                                 rig.form.Command2.enabled()};
        };
        rig.handle([&] { rig.form.Command1_Click(); });

        EXPECT_EQ(rig.form.Label7.caption(), c.model);
        EXPECT_EQ(rig.form.Label5.caption(), c.serial);
        EXPECT_EQ(rig.form.Label4.caption(), "V3.05");
        EXPECT_TRUE(rig.form.COM1.enabled());
        EXPECT_TRUE(rig.form.Command1.enabled());
        EXPECT_EQ(rig.form.Command2.enabled(), c.eligible);
        const std::vector<sim::ShownMessage> told(
            rig.world.messages.shown.begin() + static_cast<long>(messages_before),
            rig.world.messages.shown.end());
        if (c.eligible) {
            EXPECT_TRUE(told.empty());
            EXPECT_THAT(rig.changes_of("Command2.enabled"),
                        ::testing::ElementsAre("Command2.enabled false", "Command2.enabled true"));
        } else {
            ASSERT_EQ(told.size(), 1u);
            EXPECT_EQ(told[0].text, testing::kIncompatibleText);
            EXPECT_EQ(told[0].title, testing::kIncompatibleTitle);
            EXPECT_EQ(told[0].icon, MsgIcon::Exclamation);
            // Told before the list and the search button are handed back.
            EXPECT_EQ(enabled_when_told, (std::vector<bool>{false, false, false}));
            EXPECT_THAT(rig.changes_of("Command2.enabled"),
                        ::testing::ElementsAre("Command2.enabled false"));
        }
    }
}

}  // namespace
}  // namespace r462xe
