// A port picked in the list: the port opened, the meter there identified (or, once a meter in
// update mode is known, not asked at all), and the upload button given back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "rig/line_traffic.h"
#include "rig/meter_faults.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> change_lines(const testing::WindowRig& rig, std::size_t from,
                                      std::size_t count) {
    std::vector<std::string> lines;
    for (std::size_t i = from; i < from + count && i < rig.changes.size(); ++i) {
        lines.push_back(rig.changes[i].line);
    }
    return lines;
}

struct PickCase {
    const char* name;
    int index;
    std::string tooltip;  // the list's new one, once the entry is picked; empty: unchanged
    int probes;
    int queries;
    std::string version_label;
    bool upload_enabled;
    int colour;
};

TEST(PortChoice, PickIdentifiesWithoutTheEligibilityCheck) {
    // Port 3 holds a meter that may not be updated: start-up refused it with a message.
    const std::vector<PickCase> cases = {
        // Start-up selected it already.
        {.name = "meter port",
         .index = 1,
         .tooltip = "",
         .probes = 1,
         .queries = 1,
         .version_label = "V3.05",
         .upload_enabled = true,
         .colour = 0},
        {.name = "port without a meter",
         .index = 0,
         .tooltip = "COM1: /dev/ttyV1 - it opened, but nothing answered. Check that the meter is "
                    "switched on and faces the cable.",
         .probes = 4,
         .queries = 4,
         .version_label = "",
         .upload_enabled = false,
         .colour = 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        rig.world.add_port(1);
        rig.world.add_meter(3, {.serial = "SN55230000"});
        rig.load();
        ASSERT_EQ(rig.form.COM1.items(), (std::vector<std::string>{"COM1", "COM3  :SN55230000"}));
        ASSERT_FALSE(rig.form.Command2.enabled());
        rig.world.messages.shown.clear();
        rig.changes.clear();
        const double picked = rig.world.now();
        const int port = c.index == 0 ? 1 : 3;

        rig.handle([&] { rig.form.COM1.user_pick(c.index); });

        std::vector<std::string> first = {"COM1.index " + std::to_string(c.index)};
        if (!c.tooltip.empty()) first.push_back("COM1.tooltip \"" + c.tooltip + "\"");
        for (const char* line :
             {"COM1.enabled false", "Command2.enabled false", "Command1.enabled false",
              R"(Label4.caption "")", R"(Label5.caption "")", R"(Label7.caption "")",
              "Label2.colour 12", "Label2.colour 9"})
            first.emplace_back(line);
        EXPECT_EQ(change_lines(rig, 0, first.size()), first);
        EXPECT_EQ(testing::probes_on(rig.world, port, picked), c.probes);
        EXPECT_EQ(testing::queries_on(rig.world, port, picked), c.queries);
        EXPECT_EQ(testing::host_writes(rig.world, port, picked).size(),
                  static_cast<std::size_t>(c.probes + c.queries));
        EXPECT_EQ(rig.form.Label4.caption(), c.version_label);
        EXPECT_EQ(rig.form.idn_version, c.version_label);
        EXPECT_EQ(rig.form.Command2.enabled(), c.upload_enabled);
        EXPECT_EQ(rig.form.Label2.fore_colour(), c.colour);
        EXPECT_TRUE(rig.form.port_ok);
        EXPECT_EQ(rig.form.MSComm1.CommPort(), port);
        EXPECT_TRUE(rig.world.messages.shown.empty());
        const auto last = change_lines(rig, rig.changes.size() - 2, 2);
        EXPECT_THAT(last, ElementsAre("Command1.enabled true", "COM1.enabled true"));
    }
}

TEST(PortChoice, KnownUpdateModeSkipsTheIdentificationAndEnablesTheUpload) {
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        testing::WindowRig rig;
        rig.world.add_port(1);
        rig.world.add_meter(4, {}, testing::in_update_mode());
        rig.load();
        ASSERT_TRUE(rig.form.update_mode);
        ASSERT_FALSE(rig.form.Command2.enabled());
        rig.changes.clear();
        const double picked = rig.world.now();

        rig.handle([&] { rig.form.COM1.user_pick(index); });

        EXPECT_TRUE(testing::host_writes(rig.world, 1, picked).empty());
        EXPECT_TRUE(testing::host_writes(rig.world, 4, picked).empty());
        EXPECT_EQ(rig.world.now(), picked);
        EXPECT_EQ(rig.form.Label4.caption(), "Updating");
        EXPECT_EQ(rig.form.Label5.caption(), "Updating");
        EXPECT_EQ(rig.form.Label7.caption(), "Updating");
        EXPECT_TRUE(rig.form.Command2.enabled());
        EXPECT_TRUE(rig.form.update_mode);
        EXPECT_EQ(rig.form.MSComm1.CommPort(), index == 0 ? 1 : 4);
        EXPECT_EQ(rig.form.Label2.fore_colour(), 9);
        EXPECT_THAT(rig.changes_of("Label4"),
                    ElementsAre(R"(Label4.caption "")", R"(Label4.caption "Updating")"));
        EXPECT_TRUE(rig.world.messages.shown.empty());
    }
}

TEST(PortChoice, IgnoredWhileTheListIsRebuilt) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.add_meter(3);
    rig.load();
    rig.form.searching = true;
    rig.changes.clear();
    const double picked = rig.world.now();

    rig.handle([&] { rig.form.COM1.user_pick(0); });

    // Only the list's tooltip follows the selection.
    EXPECT_THAT(rig.changes_of(""),
                ElementsAre("COM1.index 0",
                            "COM1.tooltip \"COM1: /dev/ttyV1 - it opened, but nothing answered. "
                            "Check that the meter is switched on and faces the cable.\""));
    EXPECT_EQ(rig.world.now(), picked);
    EXPECT_TRUE(testing::host_writes(rig.world, 1, picked).empty());
    EXPECT_TRUE(testing::host_writes(rig.world, 3, picked).empty());
    EXPECT_EQ(rig.form.idn_version, "V3.05");
    EXPECT_EQ(rig.form.MSComm1.CommPort(), 3);
}

TEST(PortChoice, PortThatCannotBeOpenedShowsLightRedAndKeepsTheUploadDisabled) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.add_meter(3);
    rig.load();
    ASSERT_TRUE(rig.form.Command2.enabled());
    rig.world.port.hold_port(1);
    rig.changes.clear();
    const double picked = rig.world.now();

    rig.handle([&] { rig.form.COM1.user_pick(0); });

    EXPECT_THAT(rig.changes_of("Label2"), ElementsAre("Label2.colour 12"));
    EXPECT_FALSE(rig.form.port_ok);
    EXPECT_FALSE(rig.form.MSComm1.PortOpen());
    EXPECT_FALSE(rig.form.Command2.enabled());
    EXPECT_TRUE(rig.form.Command1.enabled());
    EXPECT_TRUE(rig.form.COM1.enabled());
    EXPECT_EQ(rig.form.Label4.caption(), "");
    EXPECT_EQ(rig.form.idn_version, "");
    EXPECT_EQ(rig.form.idn_model, "");
    EXPECT_TRUE(testing::host_writes(rig.world, 1, picked).empty());
    EXPECT_TRUE(testing::host_writes(rig.world, 3, picked).empty());
    EXPECT_TRUE(rig.world.messages.shown.empty());
}

}  // namespace
}  // namespace r462xe
