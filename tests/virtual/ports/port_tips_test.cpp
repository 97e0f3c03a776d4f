// The port list's tooltips as the search and the port choice set them: each entry's says which
// device its port is and what was found there; the list's own starts with the selected entry's and
// adds a line for each port that could not be opened, which has no entry. The transcript shows
// them as changes of the list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "rig/meter_faults.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAre;

constexpr const char* kMeter3 =
    "COM3: /dev/ttyV3 - an R462xE meter answered (serial number SN55250001).";
constexpr const char* kSilent1 =
    "COM1: /dev/ttyV1 - it opened, but nothing answered. Check that the meter is switched on and "
    "faces the cable.";
constexpr const char* kHeld2 =
    "COM2: /dev/ttyV2 - another program holds it (Device or resource busy). Close that program, "
    "then press \"Auto Search COM Port\".";

struct TipsCase {
    const char* name;
    std::function<void(sim::World&)> setup;
    std::vector<std::string> items;
    std::vector<std::string> item_tips;
    std::string tooltip;
};

void PrintTo(const TipsCase& c, std::ostream* out) {
    *out << c.name;
}

class PortTipsAfterStartUp : public ::testing::TestWithParam<TipsCase> {};

TEST_P(PortTipsAfterStartUp, SayWhatEachPortIsAndWhatWasFoundThere) {
    const TipsCase& c = GetParam();
    testing::WindowRig rig;
    c.setup(rig.world);
    rig.load();
    ASSERT_EQ(rig.form.COM1.items(), c.items);
    EXPECT_EQ(rig.form.COM1.item_tips(), c.item_tips);
    EXPECT_EQ(rig.form.COM1.tooltip(), c.tooltip);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PortTipsAfterStartUp,
    ::testing::Values(
        TipsCase{"MeterOnOnePort",
                 [](sim::World& w) { w.add_meter(3); },
                 {"COM3  :SN55250001"},
                 {kMeter3},
                 kMeter3},
        TipsCase{"SilentPortBeforeTheMeter",
                 [](sim::World& w) {
                     w.add_port(1);
                     w.add_meter(3);
                 },
                 {"COM1", "COM3  :SN55250001"},
                 {kSilent1, kMeter3},
                 kMeter3},
        TipsCase{"HeldPortBesideTheMeter",
                 [](sim::World& w) {
                     w.add_held_port(2);
                     w.add_meter(3);
                 },
                 {"COM3  :SN55250001"},
                 {kMeter3},
                 std::string(kMeter3) + "\n" + kHeld2},
        TipsCase{"PortAfterTheMeterNotAsked",
                 [](sim::World& w) {
                     w.add_meter(3);
                     w.add_port(5);
                 },
                 {"COM3  :SN55250001", "COM5"},
                 {kMeter3,
                  "COM5: /dev/ttyV5 - it opened; it was not asked for a meter, as the "
                  "search stopped at the meter it found first."},
                 kMeter3},
        TipsCase{"SilentPortAlone",
                 [](sim::World& w) { w.add_port(1); },
                 {"COM1"},
                 {kSilent1},
                 kSilent1},
        TipsCase{"MeterInItsUpdateMode",
                 [](sim::World& w) { w.add_meter(3, {}, testing::in_update_mode()); },
                 {"COM3  :Updating"},
                 {"COM3: /dev/ttyV3 - a meter in its update mode answered: choose this entry, "
                  "then press \"Upload Firmware\" to update it."},
                 "COM3: /dev/ttyV3 - a meter in its update mode answered: choose this entry, "
                 "then press \"Upload Firmware\" to update it."},
        // Nothing is selected: port 1, where the selection falls without a meter, has no entry.
        TipsCase{"ForbiddenPortAndAnotherMakersMeter",
                 [](sim::World& w) {
                     w.add_forbidden_port(1, "dialout");
                     w.add_meter(4, {.maker = "Otherco"});
                 },
                 {"COM4"},
                 {"COM4: /dev/ttyV4 - something answered that is not an R462xE meter: "
                  "\"Otherco,R4622E,SN55250001,V3.05\\r\\n\". Check that the cable is the meter's "
                  "and faces an R462xE meter."},
                 "COM1: /dev/ttyV1 - your user may not open it (Permission denied). It belongs "
                 "to the group dialout: join that group (sudo usermod -aG dialout $USER), then "
                 "log in again."},
        TipsCase{"NoPortAtAll", [](sim::World&) {}, {}, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The transcript, as the runner prints it: the held port shows in the list's tooltip as soon as
// its open fails, while the search still runs; the entries' tooltips come with the new entries,
// and the list's follows the selection.
TEST(PortTips, TheTranscriptShowsThemAsChangesOfTheList) {
    testing::WindowRig rig;
    rig.world.add_held_port(2);
    rig.world.add_meter(3);
    rig.load();
    std::vector<std::string> list_changes;
    for (const auto& change : rig.changes) {
        if (change.line.starts_with("COM1.")) list_changes.push_back(change.line);
    }
    EXPECT_THAT(
        list_changes,
        ElementsAre(
            R"(COM1.items ["COM1"])", "COM1.index 0", "COM1.enabled false",
            R"(COM1.tooltip "COM2: /dev/ttyV2 - another program holds it (Device or resource busy). Close that program, then press \"Auto Search COM Port\".")",
            "COM1.items []", R"(COM1.items ["COM3  :SN55250001"])",
            R"(COM1.item-tips ["COM3: /dev/ttyV3 - an R462xE meter answered (serial number SN55250001)."])",
            "COM1.index 0",
            R"(COM1.tooltip "COM3: /dev/ttyV3 - an R462xE meter answered (serial number SN55250001).\nCOM2: /dev/ttyV2 - another program holds it (Device or resource busy). Close that program, then press \"Auto Search COM Port\".")",
            "COM1.enabled true"));
}

// A port chosen later is found to hold a meter: its entry stays as the search left it, its
// tooltip says what the port holds now, and the list's names it first.
TEST(PortTips, FollowWhatAPortChosenLaterIsFoundToHold) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.add_meter(3);
    rig.load();
    ASSERT_EQ(rig.form.COM1.item_tips(), (std::vector<std::string>{kSilent1, kMeter3}));
    rig.world.add_meter(1, {.serial = "SN55250002"});

    rig.handle([&] { rig.form.COM1.user_pick(0); });

    const std::string meter1 =
        "COM1: /dev/ttyV1 - an R462xE meter answered (serial number SN55250002).";
    EXPECT_EQ(rig.form.COM1.items(), (std::vector<std::string>{"COM1", "COM3  :SN55250001"}));
    EXPECT_EQ(rig.form.COM1.item_tips(), (std::vector<std::string>{meter1, kMeter3}));
    EXPECT_EQ(rig.form.COM1.tooltip(), meter1);
}

// "Auto Search COM Port" forgets what the last search found: a port let go by the program that
// held it is looked at anew, and the list's tooltip no longer names it as held.
TEST(PortTips, ANewSearchTellsWhatItFound) {
    testing::WindowRig rig;
    rig.world.add_held_port(2);
    rig.world.add_meter(3);
    rig.load();
    ASSERT_EQ(rig.form.COM1.tooltip(), std::string(kMeter3) + "\n" + kHeld2);
    rig.world.port.release_port(2);

    rig.handle([&] { rig.form.Command1_Click(); });

    EXPECT_EQ(rig.form.COM1.items(), (std::vector<std::string>{"COM2", "COM3  :SN55250001"}));
    EXPECT_EQ(rig.form.COM1.item_tips(),
              (std::vector<std::string>{
                  "COM2: /dev/ttyV2 - it opened, but nothing answered. Check that the meter is "
                  "switched on and faces the cable.",
                  kMeter3}));
    EXPECT_EQ(rig.form.COM1.tooltip(), kMeter3);
}

}  // namespace
}  // namespace r462xe
