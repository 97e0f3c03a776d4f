// Which waits hold the port's events. A communication error event that arrives during a held wait
// is dropped. During any other wait its handler holds the waiting procedure up for nine seconds
// and then closes the port, which the procedure meets when it goes on: an identification ends,
// tries again or opens the port again itself, a transfer's next tick ends on the run-time-error
// path.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>

#include "rig/messages.h"
#include "rig/readings.h"
#include "rig/upload_rig.h"
#include "text/c_quote.h"

namespace r462xe {
namespace {

using testing::kMeterPort;
using testing::list_text;
using testing::titles_line;
using testing::UploadRig;

// What runs while the event comes.
enum class Run {
    PortChoice,        // the user picks the meter's port: send_idn
    StartUpSearch,     // the load sequence with the meter on port 3: check_idn
    NormalUpdate,      // "Upload Firmware" with the meter in normal mode
    UpdateModeUpdate,  // "Upload Firmware" with the meter already in its update mode
    AfterAnError,      // an idle window whose port just reported an error: the handler's own wait
};

// Where the event's time is counted from.
enum class From {
    Start,         // the pick, the load, the press, the first error
    LeaveCommand,  // the meter has received "UPGR 0"
};

struct HeldWaitCase {
    const char* name;
    Run run;
    From from;
    double event_at;  // seconds after `from`
    bool held;
    std::string outcome;  // what the user sees at the end
};

void PrintTo(const HeldWaitCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr const char* kIdentified = R"(list ["COM3  :SN55250001"], version "V3.05")";
constexpr const char* kNotIdentified = R"(list ["COM3  :SN55250001"], version "")";
constexpr const char* kUpdated =
    "Firmware Update, blocks 60, Command1 on, COM1 on, Command2 on, Label6 hidden, Timer1 off, "
    "running off";
constexpr const char* kRunTimeError =
    "Power cycle the Meter, blocks 0, Command1 off, COM1 on, Command2 on, Label6 hidden, Timer1 "
    "off, running off";

std::string list_and_version(const UploadRig& rig) {
    return list_text(rig) + ", version " + c_quote(rig.form.Label4.caption());
}

std::string update_outcome(UploadRig& rig) {
    return titles_line(rig.messages_since_press()) + ", blocks " +
           std::to_string(rig.frames().size()) + ", " + rig.controls();
}

class HeldWaits : public ::testing::TestWithParam<HeldWaitCase> {};

TEST_P(HeldWaits, AHeldWaitDropsAnErrorEventAnyOtherIsHeldUpNineSeconds) {
    const auto& param = GetParam();
    UploadRig rig;
    sim::MeterFaults faults;
    faults.start_in_update_mode = param.run == Run::UpdateModeUpdate;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    auto posted_at = std::make_shared<double>(-1);
    auto post_event = [&rig, posted_at] {
        *posted_at = rig.world.now();
        rig.world.port.post_event(kCommEventFrame);
    };
    auto post_event_after = [&rig, post_event](double seconds) {
        rig.world.scheduler.after(seconds, post_event);
    };
    if (param.from == From::LeaveCommand) {
        meter.set_observer([post_event_after, &param](const sim::MeterEvent& event) {
            if (event.kind == sim::MeterEvent::Kind::command && event.text == "UPGR 0\r\n") {
                post_event_after(param.event_at);
            }
        });
    } else {
        ASSERT_EQ(param.from, From::Start);
    }

    std::string outcome;
    switch (param.run) {
        case Run::StartUpSearch:
            post_event_after(param.event_at);
            rig.load();
            outcome = list_and_version(rig);
            break;
        case Run::PortChoice:
            rig.load();
            rig.run_for(1);
            post_event_after(param.event_at);
            rig.handle([&] { rig.form.COM1.user_pick(0); });
            rig.run_for(20);
            outcome = list_and_version(rig);
            break;
        case Run::NormalUpdate:
        case Run::UpdateModeUpdate:
            rig.load();
            if (param.run == Run::UpdateModeUpdate) rig.handle([&] { rig.form.COM1.user_pick(0); });
            ASSERT_TRUE(rig.form.Command2.enabled());
            if (param.from == From::Start) post_event_after(param.event_at);
            rig.press_upload();
            rig.run_for(120);
            outcome = update_outcome(rig);
            break;
        case Run::AfterAnError:
            rig.load();
            ASSERT_TRUE(rig.form.MSComm1.PortOpen());
            rig.world.port.post_event(kCommEventFrame);
            post_event_after(param.event_at);
            rig.run_for(30);
            outcome = rig.form.MSComm1.PortOpen() ? "port open" : "port closed";
            break;
    }

    ASSERT_GE(*posted_at, 0) << "the event was never posted";
    // The waiting procedure's next step: a write to the meter, a change in the window, the port
    // closed. It comes when the wait ends, or, when the handler takes the event, not before the
    // handler's nine seconds are over.
    double next_step = 1e9;
    auto take = [&](double time) {
        if (time > *posted_at) next_step = std::min(next_step, time);
    };
    for (const auto& record : rig.line().wire()) {
        if (record.from_host) take(record.time);
    }
    for (const auto& change : rig.changes) take(change.time);
    for (double closed : rig.world.port.close_times()) take(closed);
    EXPECT_EQ(next_step < *posted_at + 9, param.held)
        << "event at " << *posted_at << ", next step at " << next_step;
    EXPECT_EQ(outcome, param.outcome);
}

// Times after the pick: send_idn waits 0.1 before the attempt, then in the probe 1.0 after the
// open, 0.2 after the flush and 1.0 for the answer (write at 1.3), then in the query the same
// (write at 3.5). At start-up check_idn begins on port 3 at 3.3 s, opens it at 3.7, waits 0.2,
// writes the probe at 3.9 and waits 4.0, then waits 0.1 before closing for the query, opens at
// 8.2, waits 0.4, writes "*IDN?" at 8.6 and waits 2.0 for the reply; the port is closed from 3.3
// to 3.7 and from 8.0 to 8.2, so an event then is only held up. A normal start writes the
// plain "UPGR 1" 0.1 s after the press and waits 9, then the masked one and waits 3; the
// update-mode start writes the masked one 0.1 s after the press and waits 3.
INSTANTIATE_TEST_SUITE_P(
    Waits, HeldWaits,
    ::testing::Values(HeldWaitCase{.name = "SendIdnBeforeTheAttempt",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 0.05,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "SendIdnProbeAfterTheOpen",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 0.6,
                                   .held = false,
                                   .outcome = kNotIdentified},
                      HeldWaitCase{.name = "SendIdnProbeAfterTheFlush",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 1.2,
                                   .held = false,
                                   .outcome = kNotIdentified},
                      HeldWaitCase{.name = "SendIdnProbeAnswer",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 1.8,
                                   .held = false,
                                   .outcome = kNotIdentified},
                      HeldWaitCase{.name = "SendIdnQueryAfterTheOpen",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 2.8,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "SendIdnQueryAfterTheFlush",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 3.4,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "SendIdnQueryReply",
                                   .run = Run::PortChoice,
                                   .from = From::Start,
                                   .event_at = 4.0,
                                   .held = false,
                                   .outcome = kNotIdentified},
                      HeldWaitCase{.name = "CheckIdnBeforeTheProbe",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 3.35,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnProbeAfterTheClose",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 3.45,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnProbeAfterTheSettings",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 3.55,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnProbeBeforeTheOpen",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 3.65,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnProbeAfterTheFlush",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 3.8,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnProbeAnswer",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 5.9,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnBeforeTheQuery",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 7.95,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnQueryAfterTheClose",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 8.05,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnQueryAfterTheSettings",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 8.15,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnBeforeTheQueryIsWritten",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 8.4,
                                   .held = false,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "CheckIdnQueryReply",
                                   .run = Run::StartUpSearch,
                                   .from = From::Start,
                                   .event_at = 9.6,
                                   .held = true,
                                   .outcome = kIdentified},
                      HeldWaitCase{.name = "TransferAfterThePlainEnterCommand",
                                   .run = Run::NormalUpdate,
                                   .from = From::Start,
                                   .event_at = 4.6,
                                   .held = true,
                                   .outcome = kUpdated},
                      HeldWaitCase{.name = "TransferAfterTheMaskedEnterCommandOfANormalStart",
                                   .run = Run::NormalUpdate,
                                   .from = From::Start,
                                   .event_at = 10.6,
                                   .held = false,
                                   .outcome = kRunTimeError},
                      HeldWaitCase{.name = "TransferAfterTheMaskedEnterCommandOfAnUpdateModeStart",
                                   .run = Run::UpdateModeUpdate,
                                   .from = From::Start,
                                   .event_at = 1.6,
                                   .held = true,
                                   .outcome = kUpdated},
                      HeldWaitCase{.name = "TransferAfterTheLeaveCommand",
                                   .run = Run::NormalUpdate,
                                   .from = From::LeaveCommand,
                                   .event_at = 5.0,
                                   .held = true,
                                   .outcome = kUpdated},
                      // The second error comes four seconds into the handler's wait for the first.
                      HeldWaitCase{.name = "ThePortEventHandlersOwnWait",
                                   .run = Run::AfterAnError,
                                   .from = From::Start,
                                   .event_at = 4.0,
                                   .held = true,
                                   .outcome = "port closed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe
