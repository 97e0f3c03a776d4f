// The port search, at start-up and from "Auto Search COM Port": which ports are probed, where the
// meter is found, the list that results, and what the user is told.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "rig/line_traffic.h"
#include "rig/meter_faults.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAre;

constexpr const char* kNoMeterText = "Please ensure connection and the meter is turned on.";
constexpr const char* kNoMeterTitle = "Can't find the meter";

struct SearchCase {
    const char* name;
    std::function<void(sim::World&)> setup;
    std::vector<std::string> items;
    int index;
    std::string version_label;
    int found_port;
    int port_no;
    bool upload_enabled;
    bool told_no_meter;  // by the auto search; start-up never tells
};

const std::vector<SearchCase>& search_cases() {
    static const std::vector<SearchCase> cases = {
        {.name = "no port at all",
         .setup = [](sim::World&) {},
         .items = {},
         .index = -1,
         .version_label = "",
         .found_port = 1,
         .port_no = 17,
         .upload_enabled = false,
         .told_no_meter = true},
        {.name = "ports without a meter, port 1 among them",
         .setup =
             [](sim::World& w) {
                 w.add_port(1);
                 w.add_port(2);
             },
         .items = {"COM1", "COM2"},
         .index = 0,
         .version_label = "",
         .found_port = 1,
         .port_no = 17,
         .upload_enabled = false,
         .told_no_meter = true},
        {.name = "ports without a meter, no port 1",
         .setup =
             [](sim::World& w) {
                 w.add_port(2);
                 w.add_port(3);
             },
         .items = {"COM2", "COM3"},
         .index = -1,
         .version_label = "",
         .found_port = 1,
         .port_no = 17,
         .upload_enabled = false,
         .told_no_meter = true},
        {.name = "meter on 5 among 1, 3, 5 and 9",
         .setup =
             [](sim::World& w) {
                 w.add_port(1);
                 w.add_port(3);
                 w.add_meter(5);
                 w.add_port(9);
             },
         .items = {"COM1", "COM3", "COM5  :SN55250001", "COM9"},
         .index = 2,
         .version_label = "V3.05",
         .found_port = 5,
         .port_no = 5,
         .upload_enabled = true,
         .told_no_meter = false},
        // The search stops at the first meter: the one on 7 is never asked.
        {.name = "meters on 3 and 7",
         .setup =
             [](sim::World& w) {
                 w.add_meter(3);
                 w.add_meter(7, {.serial = "SN55250007"});
             },
         .items = {"COM3  :SN55250001", "COM7"},
         .index = 0,
         .version_label = "V3.05",
         .found_port = 3,
         .port_no = 3,
         .upload_enabled = true,
         .told_no_meter = false},
        // Update mode passes empty texts to the eligibility check: no upload, no message.
        {.name = "meter in update mode on 4",
         .setup =
             [](sim::World& w) {
                 w.add_port(1);
                 w.add_meter(4, {}, testing::in_update_mode());
             },
         .items = {"COM1", "COM4  :Updating"},
         .index = 1,
         .version_label = "Updating",
         .found_port = 4,
         .port_no = 4,
         .upload_enabled = false,
         .told_no_meter = false},
        {.name = "port held by another program",
         .setup =
             [](sim::World& w) {
                 w.add_held_port(2);
                 w.add_meter(5);
             },
         .items = {"COM5  :SN55250001"},
         .index = 0,
         .version_label = "V3.05",
         .found_port = 5,
         .port_no = 5,
         .upload_enabled = true,
         .told_no_meter = false},
        {.name = "meter on 16",
         .setup =
             [](sim::World& w) {
                 w.add_port(1);
                 w.add_meter(16);
             },
         .items = {"COM1", "COM16  :SN55250001"},
         .index = 1,
         .version_label = "V3.05",
         .found_port = 16,
         .port_no = 16,
         .upload_enabled = true,
         .told_no_meter = false},
    };
    return cases;
}

void expect_search_result(const testing::WindowRig& rig, const SearchCase& c) {
    const auto& form = rig.form;
    EXPECT_EQ(form.COM1.items(), c.items);
    EXPECT_EQ(form.COM1.list_index(), c.index);
    EXPECT_EQ(form.COM1.text(),
              c.index < 0 ? std::string() : c.items[static_cast<std::size_t>(c.index)]);
    EXPECT_EQ(form.Label4.caption(), c.version_label);
    EXPECT_EQ(form.found_port, c.found_port);
    EXPECT_EQ(form.port_no, c.port_no);
    EXPECT_EQ(form.Command2.enabled(), c.upload_enabled);
    EXPECT_TRUE(form.COM1.enabled());
    EXPECT_TRUE(form.Command1.enabled());
    EXPECT_FALSE(form.searching);
}

TEST(Search, StartUpBuildsTheListAndSelectsTheMeterPort) {
    for (const auto& c : search_cases()) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        c.setup(rig.world);
        rig.load();
        expect_search_result(rig, c);
        EXPECT_TRUE(rig.world.messages.shown.empty());
    }
}

TEST(Search, AutoSearchRebuildsTheListIdentifiesAgainAndTellsWhenNoMeterAnswers) {
    for (const auto& c : search_cases()) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        c.setup(rig.world);
        rig.load();
        rig.changes.clear();
        std::vector<bool> enabled_when_told;
        rig.world.messages.on_show = [&](const sim::ShownMessage&) {
            enabled_when_told = {rig.form.COM1.enabled(), rig.form.Command1.enabled()};
        };
        rig.handle([&] { rig.form.Command1_Click(); });

        ASSERT_GE(rig.changes.size(), 6u);
        const std::vector<std::string> first = {rig.changes[0].line, rig.changes[1].line,
                                                rig.changes[2].line, rig.changes[3].line,
                                                rig.changes[4].line, rig.changes[5].line};
        EXPECT_THAT(first,
                    ElementsAre(R"(Label4.caption "Searching")", R"(Label5.caption "Searching")",
                                R"(Label7.caption "Searching")", "Command1.enabled false",
                                "COM1.enabled false", "Command2.enabled false"));
        expect_search_result(rig, c);
        if (c.told_no_meter) {
            ASSERT_EQ(rig.world.messages.shown.size(), 1u);
            const auto& message = rig.world.messages.shown[0];
            EXPECT_EQ(message.text, kNoMeterText);
            EXPECT_EQ(message.title, kNoMeterTitle);
            EXPECT_EQ(message.icon, MsgIcon::Critical);
            EXPECT_EQ(enabled_when_told, (std::vector<bool>{true, true}));
        } else {
            EXPECT_TRUE(rig.world.messages.shown.empty());
        }
    }
}

TEST(Search, AutoSearchOpensTheFoundPortAndIdentifiesTheMeterThere) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.add_meter(3);
    rig.world.add_port(5);
    rig.load();
    const double clicked = rig.world.now();
    rig.handle([&] { rig.form.Command1_Click(); });

    // Probing takes 3.5 s, port 1 costs a probe and three queries (12.7 s); then the search's
    // probe and query on port 3, then send_idn's on the port that the list names.
    EXPECT_THAT(testing::host_writes(rig.world, 3, clicked),
                ElementsAre("16.800 LFx1028 @19200", R"(21.500 "*IDN?\r\n" @9600)",
                            "24.800 LFx1028 @19200", R"(27.000 "*IDN?\r\n" @9600)"));
    EXPECT_EQ(testing::host_writes(rig.world, 1, clicked).size(), 4u);
    EXPECT_TRUE(testing::host_writes(rig.world, 5).empty());
    EXPECT_EQ(rig.form.MSComm1.CommPort(), 3);
    EXPECT_TRUE(rig.form.port_ok);
    EXPECT_EQ(rig.form.Label2.fore_colour(), 0);
    EXPECT_EQ(rig.form.Label7.caption(), "R4622E");
    EXPECT_EQ(rig.form.Label5.caption(), "SN55250001");
    EXPECT_TRUE(rig.form.Command2.enabled());
}

TEST(Search, NoPortAtAllTriesTheListedPortTwiceWithoutIdentifying) {
    testing::WindowRig rig;
    rig.load();
    rig.changes.clear();
    rig.handle([&] { rig.form.Command1_Click(); });
    EXPECT_THAT(rig.changes_of("Label2"), ElementsAre("Label2.colour 12", "Label2.colour 12"));
    EXPECT_FALSE(rig.form.port_ok);
    EXPECT_FALSE(rig.form.Command2.enabled());
    EXPECT_EQ(rig.world.port.opens(), 0);
}

struct ProbeCase {
    const char* name;
    std::vector<int> ports;
    std::vector<int> held;
    bool left_open;
};

// The bar tells which port the search tries and where it stands, at start-up and from "Auto
// Search COM Port", and is cleared when the search ends. Ports 2, 5 and 9 open; the meter is on
// port 5, so the identification stops there.
TEST(Search, TheBarSaysWhichPortIsTriedAndHowManyAreLeft) {
    testing::WindowRig rig;
    rig.world.add_port(2);
    rig.world.add_meter(5);
    rig.world.add_port(9);
    rig.load();
    std::vector<std::string> expected;
    for (int port = 1; port <= 16; ++port) {
        expected.push_back("ProgressBar1.text \"Opening COM" + std::to_string(port) + " - " +
                           std::to_string(port) + " of 16 ports\"");
    }
    expected.push_back("ProgressBar1.text \"\"");
    expected.push_back("ProgressBar1.text \"Searching COM2 - 1 of 3 ports\"");
    expected.push_back("ProgressBar1.text \"Searching COM5 - 2 of 3 ports\"");
    expected.push_back("ProgressBar1.text \"\"");
    EXPECT_EQ(rig.changes_of("ProgressBar1.text"), expected);
    EXPECT_EQ(rig.form.Label5.caption(), rig.world.meter(5).identity().serial);

    rig.changes.clear();
    rig.handle([&] { rig.form.Command1_Click(); });
    EXPECT_EQ(rig.changes_of("ProgressBar1.text"), expected);
}

TEST(Search, ProbingMarksOpenablePortsAndLeavesOnlyPort16Open) {
    const std::vector<ProbeCase> cases = {
        {"port 16 present", {3, 16}, {}, true},
        {"port 15 last", {3, 15}, {}, false},
        {"port 16 held", {3}, {16}, false},
        {"no port", {}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        for (int port : c.ports) rig.world.add_port(port);
        for (int port : c.held) rig.world.add_held_port(port);
        rig.form.comm_settings = "9600,n,8,1";
        rig.form.port_serial[4] = "SN55250001";
        rig.handle([&] { rig.form.select_comport(); });

        for (int n = 1; n <= 16; ++n) {
            const bool present = std::find(c.ports.begin(), c.ports.end(), n) != c.ports.end();
            EXPECT_EQ(rig.form.port_present[static_cast<std::size_t>(n)], present) << "COM" << n;
            EXPECT_EQ(rig.form.port_serial[static_cast<std::size_t>(n)], "") << "COM" << n;
        }
        EXPECT_EQ(rig.form.port_no, 17);
        EXPECT_EQ(rig.form.MSComm1.PortOpen(), c.left_open);
        if (c.left_open) {
            EXPECT_EQ(rig.form.MSComm1.CommPort(), 16);
        }
        // The probe only opens: nothing is written to any line.
        for (int port : c.ports) EXPECT_TRUE(testing::host_writes(rig.world, port).empty());
        // 0.2 s for each port, 0.1 s more for each that opens.
        EXPECT_NEAR(rig.world.now(), 3.2 + 0.1 * static_cast<double>(c.ports.size()), 0.01);
    }
}

TEST(Search, FirstIdentificationClosesThePortLeftOpenOn16) {
    testing::WindowRig rig;
    rig.world.add_meter(3);
    rig.world.add_port(16);
    rig.load();
    EXPECT_EQ(rig.form.found_port, 3);
    EXPECT_EQ(rig.form.MSComm1.CommPort(), 3);
    EXPECT_EQ(rig.form.COM1.items(), (std::vector<std::string>{"COM3  :SN55250001", "COM16"}));
    EXPECT_EQ(rig.form.COM1.list_index(), 0);
}

}  // namespace
}  // namespace r462xe
