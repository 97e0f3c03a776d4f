// check_idn, the identification of one candidate port during the search: one probe, at most three
// queries, the per-port result, and a window left alone when no meter answers (but for the port
// list's tooltip, which names a port that would not open).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "rig/line_traffic.h"
#include "rig/meter_faults.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAreArray;

constexpr int kPort = 2;

struct DirectCase {
    const char* name;
    std::function<void(sim::World&)> setup;
    std::vector<std::string> writes;
    double seconds;
    int found_port;
    std::string port_serial;
    int attempts;
    std::vector<std::string> window_changes;
    std::string settings_after = {};
};

TEST(CheckIdn, OnePortWithItsWaitsAttemptsAndResult) {
    const std::vector<DirectCase> cases = {
        {.name = "nothing on the line",
         .setup = [](sim::World& w) { w.add_port(kPort); },
         .writes = {"0.600 LFx1028 @19200", R"(5.300 "*IDN?\r\n" @9600)",
                    R"(8.000 "*IDN?\r\n" @9600)", R"(10.700 "*IDN?\r\n" @9600)"},
         .seconds = 12.7,
         .found_port = 9,
         .port_serial = "",
         .attempts = 3,
         .window_changes = {}},
        // Every failure of the port counts as an attempt, the probe's included.
        {.name = "port held by another program",
         .setup = [](sim::World& w) { w.add_held_port(kPort); },
         .writes = {},
         .seconds = 1.0,
         .found_port = 9,
         .port_serial = "",
         .attempts = 3,
         .window_changes =
             {R"(COM1.tooltip "COM2: /dev/ttyV2 - another program holds it (Device or resource busy). Close that program, then press \"Auto Search COM Port\".")"}},
        {.name = "meter of the family",
         .setup = [](sim::World& w) { w.add_meter(kPort); },
         .writes = {"0.600 LFx1028 @19200", R"(5.300 "*IDN?\r\n" @9600)"},
         .seconds = 7.3,
         .found_port = kPort,
         .port_serial = "SN55250001",
         .attempts = 0,
         .window_changes = {R"(Label7.caption "R4622E")", R"(Label5.caption "SN55250001")",
                            R"(Label4.caption "V3.05")", "Label2.colour 0"},
         .settings_after = "9600,n,8,1"},
        // The counter is not reset on success.
        {.name = "*E for the first query",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::star_e_first(1)); },
         .writes = {"0.600 LFx1028 @19200", R"(5.300 "*IDN?\r\n" @9600)",
                    R"(8.000 "*IDN?\r\n" @9600)"},
         .seconds = 10.0,
         .found_port = kPort,
         .port_serial = "SN55250001",
         .attempts = 1,
         .window_changes = {R"(Label7.caption "R4622E")", R"(Label5.caption "SN55250001")",
                            R"(Label4.caption "V3.05")", "Label2.colour 0"},
         .settings_after = "9600,n,8,1"},
        {.name = "meter in update mode",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::in_update_mode()); },
         .writes = {"0.600 LFx1028 @19200"},
         .seconds = 4.6,
         .found_port = kPort,
         .port_serial = "Updating",
         .attempts = 0,
         .window_changes = {R"(Label7.caption "Updating")", R"(Label5.caption "Updating")",
                            R"(Label4.caption "Updating")"},
         .settings_after = "19200,n,8,1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        c.setup(rig.world);
        rig.form.port_no = kPort;
        rig.form.found_port = 9;  // what the caller gave it
        rig.form.Label4.set_caption("keep");
        rig.form.Command2.set_enabled(true);
        rig.changes.clear();
        rig.handle([&] { rig.form.check_idn(); });

        EXPECT_THAT(testing::host_writes(rig.world, kPort), ElementsAreArray(c.writes));
        EXPECT_NEAR(rig.world.now(), c.seconds, 0.01);
        EXPECT_EQ(rig.form.found_port, c.found_port);
        EXPECT_EQ(rig.form.port_serial[kPort], c.port_serial);
        EXPECT_EQ(rig.form.idn_attempts, c.attempts);
        EXPECT_THAT(rig.changes_of(""), UnorderedElementsAreArray(c.window_changes));
        EXPECT_TRUE(rig.form.Command2.enabled());
        EXPECT_TRUE(rig.world.messages.shown.empty());
        if (!c.settings_after.empty()) {
            EXPECT_TRUE(rig.form.MSComm1.PortOpen());
            EXPECT_EQ(rig.form.MSComm1.Settings(), c.settings_after);
        }
    }
}

struct SearchReplyCase {
    const char* name;
    sim::MeterIdentity identity;
    sim::MeterFaults faults;
    int queries;
    bool found;
    std::string version = {};
    std::string maker = "Marelind";
};

TEST(CheckIdn, RepliesToTheSearchAtStartUp) {
    const std::vector<SearchReplyCase> cases = {
        {.name = "reply with CR LF",
         .identity = {},
         .faults = {},
         .queries = 1,
         .found = true,
         .version = "V3.05"},
        // Only the line feed and XON are cut: the version keeps its carriage return.
        {.name = "reply with CR LF XON",
         .identity = {},
         .faults = testing::xon_after_reply(),
         .queries = 1,
         .found = true,
         .version = "V3.05\r"},
        {.name = "two lines",
         .identity = {},
         .faults = testing::reply_verbatim("*E\r\nMarelind,R4622E,SN55250001,V3.05\r\n"),
         .queries = 1,
         .found = true,
         .version = "V3.05",
         .maker = "*E\r\nMarelind"},
        {.name = "no line end",
         .identity = {},
         .faults = testing::reply_verbatim("Marelind,R4622E,SN55250001,V3.05"),
         .queries = 1,
         .found = true,
         .version = "V3."},
        {.name = "*E for the first two queries",
         .identity = {},
         .faults = testing::star_e_first(2),
         .queries = 3,
         .found = true,
         .version = "V3.05"},
        {.name = "*E for the first three queries",
         .identity = {},
         .faults = testing::star_e_first(3),
         .queries = 3,
         .found = false},
        {.name = "model without a capital E",
         .identity = {.model = "R4622e"},
         .faults = {},
         .queries = 3,
         .found = false},
        {.name = "maker not accepted",
         .identity = {.maker = "Acme"},
         .faults = {},
         .queries = 3,
         .found = false},
        {.name = "three fields",
         .identity = {},
         .faults = testing::reply_verbatim("Marelind,R4622E,SN55250001\r\n"),
         .queries = 3,
         .found = false},
        {.name = "one character",
         .identity = {},
         .faults = testing::reply_verbatim("X"),
         .queries = 3,
         .found = false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        rig.world.add_meter(kPort, c.identity, c.faults);
        rig.load();

        EXPECT_EQ(testing::probes_on(rig.world, kPort), 1);
        EXPECT_EQ(testing::queries_on(rig.world, kPort), c.queries);
        if (c.found) {
            EXPECT_EQ(rig.form.found_port, kPort);
            EXPECT_EQ(rig.form.Label4.caption(), c.version);
            EXPECT_EQ(rig.form.idn_version, c.version);
            EXPECT_EQ(rig.form.idn_maker, c.maker);
            EXPECT_EQ(rig.form.Label5.caption(), "SN55250001");
            EXPECT_EQ(rig.form.COM1.items(), std::vector<std::string>{"COM2  :SN55250001"});
            EXPECT_EQ(rig.form.COM1.list_index(), 0);
        } else {
            EXPECT_EQ(rig.form.found_port, 1);
            EXPECT_EQ(rig.form.Label4.caption(), "");
            EXPECT_EQ(rig.form.COM1.items(), std::vector<std::string>{"COM2"});
            EXPECT_EQ(rig.form.COM1.list_index(), -1);
            EXPECT_FALSE(rig.form.Command2.enabled());
        }
    }
}

TEST(CheckIdn, PortEventsAreHeldOnlyWhileEachQueryIsAnswered) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.add_port(kPort);
    struct Sample {
        double time;
        bool held;
    };
    std::vector<Sample> samples;
    std::function<void()> observe = [&] {
        samples.push_back({rig.world.now(), rig.form.comm_events_held});
        rig.world.scheduler.after(0.05, observe);
    };
    rig.world.scheduler.after(0.025, observe);
    rig.load();

    std::vector<double> query_times;
    for (int com : {1, kPort}) {
        for (const auto& record : rig.world.line(com).wire()) {
            if (record.from_host && record.bytes == testing::kIdnQueryBytes) {
                query_times.push_back(record.time);
            }
        }
    }
    ASSERT_EQ(query_times.size(), 6u);
    int held = 0;
    for (const auto& sample : samples) {
        bool answering = false;
        for (double t : query_times) answering |= sample.time > t && sample.time < t + 2.0;
        EXPECT_EQ(sample.held, answering) << "at " << sample.time;
        held += sample.held;
    }
    EXPECT_EQ(held, 6 * 40);
    EXPECT_FALSE(rig.form.comm_events_held);
}

}  // namespace
}  // namespace r462xe
