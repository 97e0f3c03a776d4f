// Why no meter was found: the no-meter messages keep their text, title and icon and carry details
// that say, for each port with a device, why it gave no meter; a port that cannot be opened for
// another reason than a missing device goes to standard error, once per port and search, even
// where no message shows (the start-up search).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAre;

constexpr const char* kNoRight =
    "COM1 (/dev/ttyV1): your user may not open it (Permission denied). It belongs to the group "
    "dialout: join that group (sudo usermod -aG dialout $USER), then log in again.";
constexpr const char* kHeld =
    "COM2 (/dev/ttyV2): another program holds it (Device or resource busy). Close that program, "
    "then press \"Auto Search COM Port\".";
constexpr const char* kSilent =
    "COM3 (/dev/ttyV3): it opened, but nothing answered. Check that the meter is switched on and "
    "faces the cable.";
constexpr const char* kOtherMaker =
    "COM4 (/dev/ttyV4): something answered that is not an R462xE meter: "
    "\"Otherco,R4622E,SN55250001,V3.05\\r\\n\". Check that the cable is the meter's and faces an "
    "R462xE meter.";

std::vector<std::string> logged(const testing::WindowRig& rig) {
    std::vector<std::string> lines;
    for (const auto& line : rig.world.error_log.lines) lines.push_back(line.line);
    return lines;
}

// A port the user may not open, one held by another program, one where nothing answers, one
// where another maker's meter answers; and port 5 names no device at all.
void four_ports_without_a_meter(sim::World& world) {
    world.add_forbidden_port(1, "dialout");
    world.add_held_port(2);
    world.add_port(3);
    world.add_meter(4, {.maker = "Otherco"});
}

TEST(WhyNoMeter, TheStartUpSearchShowsNoMessageButTellsStandardErrorWhichPortsWouldNotOpen) {
    testing::WindowRig rig;
    four_ports_without_a_meter(rig.world);
    rig.load();
    EXPECT_TRUE(rig.world.messages.shown.empty());
    EXPECT_THAT(logged(rig), ElementsAre(kNoRight, kHeld));
}

TEST(WhyNoMeter, AutoSearchMessageSaysForEachPortWhyItGaveNoMeter) {
    testing::WindowRig rig;
    four_ports_without_a_meter(rig.world);
    rig.load();
    rig.handle([&] { rig.form.Command1_Click(); });

    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    const auto& message = rig.world.messages.shown[0];
    EXPECT_EQ(message.title, "Can't find the meter");
    EXPECT_EQ(message.text, "Please ensure connection and the meter is turned on.");
    EXPECT_EQ(message.icon, MsgIcon::Critical);
    EXPECT_EQ(message.details,
              std::string(kNoRight) + "\n" + kHeld + "\n" + kSilent + "\n" + kOtherMaker + "\n");
    // The second search tells the refused opens again, then the message's details in one line.
    EXPECT_THAT(logged(rig), ElementsAre(kNoRight, kHeld, kNoRight, kHeld,
                                         std::string("Can't find the meter: ") + kNoRight + " | " +
                                             kHeld + " | " + kSilent + " | " + kOtherMaker));
}

TEST(WhyNoMeter, WithoutAnyDeviceTheMessageSaysSo) {
    testing::WindowRig rig;
    rig.load();
    rig.handle([&] { rig.form.Command1_Click(); });
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    EXPECT_EQ(rig.world.messages.shown[0].details,
              "No serial port could be opened: check that the cable is plugged in.\n");
}

constexpr const char* kHeldMeterPort =
    "COM3 (/dev/ttyV3): another program holds it (Device or resource busy). Close that program, "
    "then press \"Auto Search COM Port\".";

// The port chosen, then taken by another program: each press is refused with the reason, which
// goes to standard error only once until the next search.
TEST(WhyNoMeter, RefusedPressesTellWhyTheChosenPortWouldNotOpenOncePerSearch) {
    testing::WindowRig rig;
    rig.world.add_port(3);
    rig.load();
    rig.world.port.hold_port(3);
    rig.handle([&] { rig.form.COM1.user_pick(0); });
    ASSERT_FALSE(rig.form.port_ok);
    rig.handle([&] { rig.form.Command2_Click(); });
    rig.handle([&] { rig.form.Command2_Click(); });

    ASSERT_EQ(rig.world.messages.shown.size(), 2u);
    for (const auto& message : rig.world.messages.shown) {
        EXPECT_EQ(message.title, "COM Port fail");
        EXPECT_EQ(message.text, "Fail to open COM Port!");
        EXPECT_EQ(message.details, std::string(kHeldMeterPort) + "\n");
    }
    const std::string box_line = std::string("COM Port fail: ") + kHeldMeterPort;
    EXPECT_THAT(logged(rig), ElementsAre(kHeldMeterPort, box_line, box_line));

    rig.world.messages.shown.clear();
    rig.handle([&] { rig.form.Command1_Click(); });
    EXPECT_EQ(logged(rig).at(3), kHeldMeterPort);
}

TEST(WhyNoMeter, MeterDisconnectedSaysNothingAnsweredOnTheChosenPort) {
    testing::WindowRig rig;
    rig.world.add_port(3);
    rig.load();
    rig.handle([&] { rig.form.COM1.user_pick(0); });
    ASSERT_TRUE(rig.form.port_ok);
    rig.handle([&] { rig.form.Command2_Click(); });

    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    EXPECT_EQ(rig.world.messages.shown[0].title, "NO Link");
    EXPECT_EQ(rig.world.messages.shown[0].details, std::string(kSilent) + "\n");
}

}  // namespace
}  // namespace r462xe
