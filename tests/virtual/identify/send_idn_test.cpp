// send_idn against the virtual meter: what each outcome leaves in the window and the shared
// state, how many probes and queries it costs, and the bytes and waits on the wire.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "rig/line_traffic.h"
#include "rig/meter_faults.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAre;

constexpr int kPort = 3;
const std::string kXonText(1, 0x11);

// The window as a caller leaves it before send_idn: earlier texts in the labels, the upload
// button enabled, an earlier meter's fields in the shared state.
struct SendIdnBench {
    testing::WindowRig rig;

    SendIdnBench() {
        rig.form.MSComm1.set_CommPort(kPort);
        rig.form.Label7.set_caption("before");
        rig.form.Label5.set_caption("before");
        rig.form.Label4.set_caption("before");
        rig.form.Command2.set_enabled(true);
        rig.form.idn_maker = "old maker";
        rig.form.idn_model = "old model";
        rig.form.idn_serial = "old serial";
        rig.form.idn_version = "old version";
        rig.form.idn_attempts = 0;
        rig.changes.clear();
    }

    void run() {
        rig.handle([&] { rig.form.send_idn(); });
    }
};

enum class Outcome { Identified, UpdateMode, NoMeter, Unchanged };

struct SendIdnCase {
    const char* name;
    std::function<void(sim::World&)> setup;
    Outcome outcome;
    int probes;
    int queries;
    double seconds;
    std::string version = {};  // Identified: the version field as read
    // Unchanged: the window's changes; only the list's tooltip, for a port that would not open.
    std::vector<std::string> changes = {};
};

TEST(SendIdn, OutcomesWithTheirCostOnTheWire) {
    const std::vector<SendIdnCase> cases = {
        {.name = "reply with CR LF",
         .setup = [](sim::World& w) { w.add_meter(kPort); },
         .outcome = Outcome::Identified,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5,
         .version = "V3.05"},
        {.name = "reply with CR LF XON",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::xon_after_reply()); },
         .outcome = Outcome::Identified,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5,
         .version = "V3.05"},
        {.name = "reply with LF alone loses the last visible character",
         .setup =
             [](sim::World& w) {
                 w.add_meter(kPort, {},
                             testing::reply_verbatim("Marelind,R4622E,SN55250001,V3.05\n"));
             },
         .outcome = Outcome::Identified,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5,
         .version = "V3.0"},
        {.name = "one-character version with LF alone becomes empty",
         .setup =
             [](sim::World& w) {
                 w.add_meter(kPort, {}, testing::reply_verbatim("Marelind,R4622E,SN55250001,V\n"));
             },
         .outcome = Outcome::Identified,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5,
         .version = ""},
        {.name = "*E for the first two queries",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::star_e_first(2)); },
         .outcome = Outcome::Identified,
         .probes = 1,
         .queries = 3,
         .seconds = 8.9,
         .version = "V3.05"},
        {.name = "meter in update mode",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::in_update_mode()); },
         .outcome = Outcome::UpdateMode,
         .probes = 1,
         .queries = 0,
         .seconds = 2.3},
        {.name = "*E for the first four queries",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::star_e_first(4)); },
         .outcome = Outcome::NoMeter,
         .probes = 1,
         .queries = 4,
         .seconds = 11.1},
        {.name = "*E every time",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::reply_verbatim("*E\r\n")); },
         .outcome = Outcome::NoMeter,
         .probes = 1,
         .queries = 4,
         .seconds = 11.1},
        {.name = "maker not accepted",
         .setup = [](sim::World& w) { w.add_meter(kPort, {.maker = "MARELIND"}); },
         .outcome = Outcome::NoMeter,
         .probes = 1,
         .queries = 4,
         .seconds = 11.1},
        {.name = "nothing on the line",
         .setup = [](sim::World& w) { w.add_port(kPort); },
         .outcome = Outcome::NoMeter,
         .probes = 4,
         .queries = 4,
         .seconds = 18.0},
        {.name = "three fields",
         .setup =
             [](sim::World& w) {
                 w.add_meter(kPort, {}, testing::reply_verbatim("Marelind,R4622E,SN55250001\r\n"));
             },
         .outcome = Outcome::NoMeter,
         .probes = 4,
         .queries = 4,
         .seconds = 18.0},
        {.name = "five fields",
         .setup =
             [](sim::World& w) {
                 w.add_meter(kPort, {},
                             testing::reply_verbatim("Marelind,R4622E,SN55250001,V3.05,X\r\n"));
             },
         .outcome = Outcome::NoMeter,
         .probes = 4,
         .queries = 4,
         .seconds = 18.0},
        {.name = "two lines",
         .setup =
             [](sim::World& w) {
                 w.add_meter(kPort, {},
                             testing::reply_verbatim("*E\r\nMarelind,R4622E,SN55250001,V3.05\r\n"));
             },
         .outcome = Outcome::NoMeter,
         .probes = 4,
         .queries = 4,
         .seconds = 18.0},
        {.name = "CR LF alone",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::reply_verbatim("\r\n")); },
         .outcome = Outcome::NoMeter,
         .probes = 4,
         .queries = 4,
         .seconds = 18.0},
        {.name = "one character",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::reply_verbatim("X")); },
         .outcome = Outcome::NoMeter,
         .probes = 4,
         .queries = 4,
         .seconds = 18.0},
        {.name = "other meter of an accepted maker",
         .setup = [](sim::World& w) { w.add_meter(kPort, {.model = "R4622"}); },
         .outcome = Outcome::Unchanged,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5},
        {.name = "lone LF",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::reply_verbatim("\n")); },
         .outcome = Outcome::Unchanged,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5},
        {.name = "lone XON",
         .setup = [](sim::World& w) { w.add_meter(kPort, {}, testing::reply_verbatim(kXonText)); },
         .outcome = Outcome::Unchanged,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5},
        {.name = "LF and XON",
         .setup =
             [](sim::World& w) {
                 w.add_meter(kPort, {}, testing::reply_verbatim("\n" + kXonText));
             },
         .outcome = Outcome::Unchanged,
         .probes = 1,
         .queries = 1,
         .seconds = 4.5},
        {.name = "port held by another program",
         .setup = [](sim::World& w) { w.add_held_port(kPort); },
         .outcome = Outcome::Unchanged,
         .probes = 0,
         .queries = 0,
         .seconds = 0.1,
         .changes =
             {R"(COM1.tooltip "COM3: /dev/ttyV3 - another program holds it (Device or resource busy). Close that program, then press \"Auto Search COM Port\".")"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SendIdnBench bench;
        auto& rig = bench.rig;
        auto& form = rig.form;
        c.setup(rig.world);
        bench.run();

        EXPECT_EQ(testing::probes_on(rig.world, kPort), c.probes);
        EXPECT_EQ(testing::queries_on(rig.world, kPort), c.queries);
        EXPECT_NEAR(rig.world.now(), c.seconds, 0.01);
        EXPECT_TRUE(rig.world.messages.shown.empty());
        switch (c.outcome) {
            case Outcome::Identified:
                EXPECT_EQ(form.Label7.caption(), "R4622E");
                EXPECT_EQ(form.Label5.caption(), "SN55250001");
                EXPECT_EQ(form.Label4.caption(), c.version);
                EXPECT_EQ(form.idn_maker, "Marelind");
                EXPECT_EQ(form.idn_model, "R4622E");
                EXPECT_EQ(form.idn_serial, "SN55250001");
                EXPECT_EQ(form.idn_version, c.version);
                EXPECT_EQ(form.idn_attempts, 0);
                EXPECT_EQ(form.Label2.fore_colour(), 0);
                EXPECT_TRUE(form.Command2.enabled());
                EXPECT_FALSE(form.update_mode);
                break;
            case Outcome::UpdateMode:
                EXPECT_EQ(form.Label7.caption(), "Updating");
                EXPECT_EQ(form.Label5.caption(), "Updating");
                EXPECT_EQ(form.Label4.caption(), "Updating");
                EXPECT_EQ(form.idn_version, "");
                EXPECT_TRUE(form.update_mode);
                EXPECT_TRUE(form.Command2.enabled());
                EXPECT_EQ(form.Label2.fore_colour(), kWindowTextColour);
                break;
            case Outcome::NoMeter:
                EXPECT_EQ(form.Label7.caption(), "");
                EXPECT_EQ(form.Label5.caption(), "");
                EXPECT_EQ(form.Label4.caption(), "");
                EXPECT_FALSE(form.Command2.enabled());
                EXPECT_EQ(form.idn_attempts, 0);
                EXPECT_EQ(form.idn_version, "old version");
                EXPECT_EQ(form.idn_model, "old model");
                EXPECT_FALSE(form.update_mode);
                EXPECT_EQ(form.Label2.fore_colour(), kWindowTextColour);
                break;
            case Outcome::Unchanged:
                EXPECT_EQ(rig.changes_of(""), c.changes);
                EXPECT_EQ(form.idn_version, "old version");
                EXPECT_EQ(form.idn_model, "old model");
                EXPECT_EQ(form.idn_attempts, 0);
                EXPECT_FALSE(form.update_mode);
                break;
        }
    }
}

TEST(SendIdn, ProbeAt19200ThenQueryAt9600WithTheirWaits) {
    SendIdnBench bench;
    auto& rig = bench.rig;
    rig.world.add_meter(kPort);
    // The port choice's exchange leaves port events to their handler.
    bool held_while_waiting_for_reply = true;
    rig.world.scheduler.after(4.0,
                              [&] { held_while_waiting_for_reply = rig.form.comm_events_held; });
    bench.run();
    EXPECT_THAT(testing::host_writes(rig.world, kPort),
                ElementsAre("1.300 LFx1028 @19200", R"(3.500 "*IDN?\r\n" @9600)"));
    EXPECT_FALSE(held_while_waiting_for_reply);
    EXPECT_EQ(rig.form.tx_bytes, "*IDN?\r\n");
    EXPECT_TRUE(rig.form.MSComm1.PortOpen());
    EXPECT_EQ(rig.form.MSComm1.Settings(), "9600,n,8,1");
    EXPECT_EQ(rig.form.MSComm1.CommPort(), kPort);
}

TEST(SendIdn, NoMeterRepeatsBothStagesFourTimesThenBlanksTheWindow) {
    SendIdnBench bench;
    auto& rig = bench.rig;
    rig.world.add_port(kPort);
    bench.run();
    EXPECT_THAT(testing::host_writes(rig.world, kPort),
                ElementsAre("1.300 LFx1028 @19200", R"(3.500 "*IDN?\r\n" @9600)",
                            "5.800 LFx1028 @19200", R"(8.000 "*IDN?\r\n" @9600)",
                            "10.300 LFx1028 @19200", R"(12.500 "*IDN?\r\n" @9600)",
                            "14.800 LFx1028 @19200", R"(17.000 "*IDN?\r\n" @9600)"));
    // Nothing changes in the window until the attempts are used up.
    ASSERT_EQ(rig.changes.size(), 4u);
    for (const auto& change : rig.changes) EXPECT_NEAR(change.time, 18.0, 0.01);
    EXPECT_EQ(rig.changes.back().line, "Command2.enabled false");
}

TEST(SendIdn, StarERepeatsTheQueryAloneWithoutAProbe) {
    SendIdnBench bench;
    auto& rig = bench.rig;
    rig.world.add_meter(kPort, {}, testing::star_e_first(2));
    bench.run();
    EXPECT_THAT(testing::host_writes(rig.world, kPort),
                ElementsAre("1.300 LFx1028 @19200", R"(3.500 "*IDN?\r\n" @9600)",
                            R"(5.700 "*IDN?\r\n" @9600)", R"(7.900 "*IDN?\r\n" @9600)"));
    EXPECT_EQ(rig.form.Label4.caption(), "V3.05");
}

TEST(SendIdn, UpdateModeKeepsTheCounterAndTheEarlierFieldsAndStaysAt19200) {
    SendIdnBench bench;
    auto& rig = bench.rig;
    rig.world.add_meter(kPort, {}, testing::in_update_mode());
    rig.form.idn_attempts = 2;
    bench.run();
    EXPECT_THAT(testing::host_writes(rig.world, kPort), ElementsAre("1.300 LFx1028 @19200"));
    EXPECT_TRUE(rig.form.update_mode);
    EXPECT_EQ(rig.form.idn_attempts, 2);
    EXPECT_EQ(rig.form.idn_maker, "old maker");
    EXPECT_EQ(rig.form.idn_model, "old model");
    EXPECT_EQ(rig.form.idn_serial, "old serial");
    EXPECT_EQ(rig.form.idn_version, "");
    EXPECT_TRUE(rig.form.MSComm1.PortOpen());
    EXPECT_EQ(rig.form.MSComm1.Settings(), "19200,n,8,1");
}

TEST(SendIdn, CounterAlreadyPastTheLimitGivesUpAtOnce) {
    SendIdnBench bench;
    auto& rig = bench.rig;
    rig.world.add_meter(kPort);
    rig.form.idn_attempts = 4;
    bench.run();
    EXPECT_TRUE(testing::host_writes(rig.world, kPort).empty());
    EXPECT_EQ(rig.form.Label4.caption(), "");
    EXPECT_FALSE(rig.form.Command2.enabled());
    EXPECT_EQ(rig.form.idn_attempts, 0);
}

}  // namespace
}  // namespace r462xe
