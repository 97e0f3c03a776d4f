// How each procedure meets a port operation that fails: it skips the step and goes on (comcheck,
// the port choice, "Upload Firmware", the two stop routines), ends at once and silently (send_idn,
// error_open_check, the probe), counts a failed attempt (check_idn), or takes its one error path
// (the timer's tick, the load sequence). The simulated port refuses one chosen operation, as the
// real component refuses one, and each case says what the user and the meter see afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "rig/line_traffic.h"
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
using Op = PortOperation;

// What runs when the operation is refused, and when the refusal is armed.
enum class Run {
    // Ports 1 (nothing on it) and 3 (the meter), after start-up; the user picks one entry. Armed
    // just before the pick, so comcheck's operations come first.
    PickMeterPort,
    PickOtherPort,
    // Start-up with the meter on port 3 alone; armed at 3.35 s, when check_idn has begun there.
    StartUpCheckIdn,
    // Start-up with port 2 (nothing on it) and meters on ports 3 and 4; armed before the load, so
    // the probes of ports 1 to 3 come first.
    StartUpProbes,
    // "Upload Firmware" for a meter found in its update mode and picked; armed before the press.
    UpdateModePress,
    // "Upload Firmware" for a meter in normal mode, identified at start-up; armed before the press.
    NormalPress,
    // The same; armed once the press has been handled, so the ticks' operations come first.
    NormalTransfer,
    // The same; armed when the meter has received "UPGR 0".
    NormalFinish,
    // The same; armed when the success message shows, right before run_stop.
    NormalSuccessMessage,
    // The meter goes silent from block 20 on; armed when the power-cycle message shows, right
    // before err_run_stop.
    ReplyTimeOutMessage,
};

struct StyleCase {
    const char* name;
    Run run;
    Op operation;
    int nth;
    int times = 1;  // operations refused in a row, from the nth on
    std::string outcome;
};

void PrintTo(const StyleCase& c, std::ostream* out) {
    *out << c.name;
}

std::string on(bool enabled) {
    return enabled ? "on" : "off";
}

std::string label2_colours_since(const UploadRig& rig, std::size_t from) {
    std::string colours;
    const std::string prefix = "Label2.colour ";
    for (std::size_t i = from; i < rig.changes.size(); ++i) {
        const std::string& line = rig.changes[i].line;
        if (line.rfind(prefix, 0) == 0) colours += " " + line.substr(prefix.size());
    }
    return "Label2" + (colours.empty() ? std::string(" unchanged") : colours);
}

std::string heard(sim::World& world, double since) {
    return "meter heard " + std::to_string(testing::probes_on(world, kMeterPort, since)) +
           " probes, " + std::to_string(testing::queries_on(world, kMeterPort, since)) + " queries";
}

std::string update_outcome(UploadRig& rig) {
    return titles_line(rig.messages_since_press()) + ", blocks " +
           std::to_string(rig.frames().size()) + ", version " + c_quote(rig.form.Label4.caption()) +
           ", " + rig.controls();
}

std::string run_case(UploadRig& rig, const StyleCase& c) {
    auto arm = [&rig, &c] { rig.world.port.fail_next(c.operation, c.nth, c.times); };
    sim::MeterFaults faults;
    faults.start_in_update_mode = c.run == Run::UpdateModePress;
    faults.silent_from_block = c.run == Run::ReplyTimeOutMessage ? 20 : -1;
    switch (c.run) {
        case Run::PickMeterPort:
        case Run::PickOtherPort: {
            rig.world.add_port(1);
            rig.world.add_meter(kMeterPort);
            rig.load();
            rig.run_for(1);
            const std::size_t from = rig.changes.size();
            const double since = rig.world.now();
            arm();
            rig.handle([&] { rig.form.COM1.user_pick(c.run == Run::PickMeterPort ? 1 : 0); });
            return label2_colours_since(rig, from) + ", version " +
                   c_quote(rig.form.Label4.caption()) + ", Command2 " +
                   on(rig.form.Command2.enabled()) + ", COM1 " + on(rig.form.COM1.enabled()) +
                   ", Command1 " + on(rig.form.Command1.enabled()) + ", " + heard(rig.world, since);
        }
        case Run::StartUpCheckIdn:
            rig.world.add_meter(kMeterPort);
            rig.world.scheduler.after(3.35, arm);
            rig.load();
            return list_text(rig) + ", version " + c_quote(rig.form.Label4.caption()) + ", " +
                   heard(rig.world, 0);
        case Run::StartUpProbes:
            rig.world.add_port(2);
            rig.world.add_meter(kMeterPort);
            rig.world.add_meter(4, {.serial = "SN55250004"});
            arm();
            rig.load();
            return list_text(rig) + ", serial " + c_quote(rig.form.Label5.caption());
        case Run::UpdateModePress: {
            rig.world.add_meter(kMeterPort, {}, faults);
            rig.load();
            rig.handle([&] { rig.form.COM1.user_pick(0); });
            const std::size_t from = rig.changes.size();
            arm();
            rig.press_upload();
            const std::string at_press = label2_colours_since(rig, from) + " at the press";
            rig.run_for(120);
            return at_press + ", " + update_outcome(rig);
        }
        default:
            break;
    }

    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    if (c.run == Run::NormalFinish) {
        meter.set_observer([arm](const sim::MeterEvent& event) {
            if (event.kind == sim::MeterEvent::Kind::command && event.text == "UPGR 0\r\n") arm();
        });
    }
    if (c.run == Run::NormalSuccessMessage || c.run == Run::ReplyTimeOutMessage) {
        rig.world.messages.on_show = [arm](const sim::ShownMessage&) { arm(); };
    }
    if (c.run == Run::NormalPress) arm();
    rig.press_upload();
    const std::string at_press = rig.controls();
    if (c.run == Run::NormalTransfer) arm();
    rig.run_for(120);
    return (c.run == Run::NormalPress ? "at the press " + at_press + "; " : std::string()) +
           update_outcome(rig);
}

class FailureStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(FailureStyle, WhatTheUserAndTheMeterSeeAfterARefusedOperation) {
    UploadRig rig;
    EXPECT_EQ(run_case(rig, GetParam()), GetParam().outcome);
    EXPECT_FALSE(rig.ended());
}

// The undisturbed pick of the meter's port: comcheck shows light red, then light blue, and the
// identification black; "V3.05", "Upload Firmware" on, one probe and one query.
constexpr const char* kPickIdentifies =
    R"(Label2 12 9 0, version "V3.05", Command2 on, COM1 on, Command1 on, meter heard 1 probes, )"
    "1 queries";
// send_idn ended silently after comcheck opened the port: the captions the pick cleared stay
// empty and the upload stays off, but the list and the search button come back.
std::string pick_identification_ended(int probes, int queries) {
    return R"(Label2 12 9, version "", Command2 off, COM1 on, Command1 on, meter heard )" +
           std::to_string(probes) + " probes, " + std::to_string(queries) + " queries";
}
std::string start_up_found(int probes, int queries) {
    return R"(list ["COM3  :SN55250001"], version "V3.05", meter heard )" + std::to_string(probes) +
           " probes, " + std::to_string(queries) + " queries";
}
constexpr const char* kStartUpFoundNoMeter =
    R"(list ["COM3"], version "", meter heard 0 probes, 0 queries)";
// Port 3's probe ended: it counts as absent and the search goes on to the meter on port 4.
constexpr const char* kThirdPortAbsent =
    R"(list ["COM2" "COM4  :SN55250004"], serial "SN55250004")";
constexpr const char* kUpdated =
    R"(Firmware Update, blocks 60, version "V3.07", Command1 on, COM1 on, Command2 on, )"
    "Label6 hidden, Timer1 off, running off";
// The run-time-error path: the port choice identifies the meter again ("Updating" once it has
// entered its update mode), run_stop, the search button off, the power-cycle message.
std::string run_time_error(int blocks, const char* version) {
    return "Power cycle the Meter, blocks " + std::to_string(blocks) + ", version " +
           c_quote(version) +
           ", Command1 off, COM1 on, Command2 on, Label6 hidden, Timer1 off, running off";
}

INSTANTIATE_TEST_SUITE_P(
    Styles, FailureStyle,
    ::testing::Values(
        // comcheck, through the port choice: the refused step is skipped, the rest runs.
        StyleCase{.name = "ComcheckClose",
                  .run = Run::PickMeterPort,
                  .operation = Op::Close,
                  .nth = 1,
                  .outcome = kPickIdentifies},
        // The port number stays the one set last (3): the meter's port opens for COM1.
        StyleCase{.name = "ComcheckCommPort",
                  .run = Run::PickOtherPort,
                  .operation = Op::CommPort,
                  .nth = 1,
                  .outcome = kPickIdentifies},
        StyleCase{.name = "ComcheckSettings",
                  .run = Run::PickMeterPort,
                  .operation = Op::Settings,
                  .nth = 1,
                  .outcome = kPickIdentifies},
        StyleCase{
            .name = "ComcheckOpen",
            .run = Run::PickMeterPort,
            .operation = Op::Open,
            .nth = 1,
            .outcome = R"(Label2 12, version "", Command2 off, COM1 on, Command1 on, meter heard )"
                       "0 probes, 0 queries"},
        StyleCase{.name = "ComcheckHandshaking",
                  .run = Run::PickMeterPort,
                  .operation = Op::Handshaking,
                  .nth = 1,
                  .outcome = kPickIdentifies},
        // send_idn, through the port choice: it ends at once.
        StyleCase{.name = "SendIdnClose",
                  .run = Run::PickMeterPort,
                  .operation = Op::Close,
                  .nth = 2,
                  .outcome = pick_identification_ended(0, 0)},
        StyleCase{.name = "SendIdnSettings",
                  .run = Run::PickMeterPort,
                  .operation = Op::Settings,
                  .nth = 2,
                  .outcome = pick_identification_ended(0, 0)},
        StyleCase{.name = "SendIdnOpen",
                  .run = Run::PickMeterPort,
                  .operation = Op::Open,
                  .nth = 2,
                  .outcome = pick_identification_ended(0, 0)},
        StyleCase{.name = "SendIdnInBufferCount",
                  .run = Run::PickMeterPort,
                  .operation = Op::InBufferCount,
                  .nth = 1,
                  .outcome = pick_identification_ended(0, 0)},
        StyleCase{.name = "SendIdnOutputOfTheProbe",
                  .run = Run::PickMeterPort,
                  .operation = Op::Output,
                  .nth = 1,
                  .outcome = pick_identification_ended(0, 0)},
        StyleCase{.name = "SendIdnOutputOfTheQuery",
                  .run = Run::PickMeterPort,
                  .operation = Op::Output,
                  .nth = 2,
                  .outcome = pick_identification_ended(1, 0)},
        StyleCase{.name = "SendIdnInput",
                  .run = Run::PickMeterPort,
                  .operation = Op::Input,
                  .nth = 1,
                  .outcome = pick_identification_ended(1, 1)},
        // check_idn at start-up: every refusal is one failed attempt of three.
        StyleCase{.name = "CheckIdnSettingsOfTheProbe",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Settings,
                  .nth = 1,
                  .outcome = start_up_found(0, 1)},
        StyleCase{.name = "CheckIdnOpenOfTheProbe",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Open,
                  .nth = 1,
                  .outcome = start_up_found(0, 1)},
        StyleCase{.name = "CheckIdnInBufferCountOfTheProbe",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::InBufferCount,
                  .nth = 1,
                  .outcome = start_up_found(0, 1)},
        StyleCase{.name = "CheckIdnOutputOfTheProbe",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Output,
                  .nth = 1,
                  .outcome = start_up_found(0, 1)},
        StyleCase{.name = "CheckIdnCloseBeforeTheQuery",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Close,
                  .nth = 1,
                  .outcome = start_up_found(1, 1)},
        StyleCase{.name = "CheckIdnInputOfTheReply",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Input,
                  .nth = 1,
                  .outcome = start_up_found(1, 2)},
        StyleCase{.name = "CheckIdnInBufferCountOfTheReply",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::InBufferCount,
                  .nth = 4,
                  .outcome = start_up_found(1, 2)},
        // Two refused queries after the probe: the third and last query finds the meter.
        StyleCase{.name = "CheckIdnTwoQueries",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Output,
                  .nth = 2,
                  .times = 2,
                  .outcome = start_up_found(1, 1)},
        // The probe and two queries refused: three attempts, no meter here.
        StyleCase{.name = "CheckIdnThreeAttempts",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::Output,
                  .nth = 1,
                  .times = 3,
                  .outcome = kStartUpFoundNoMeter},
        // The probe's port number refused: the queries open the port set last (16, absent).
        StyleCase{.name = "CheckIdnCommPortOfTheProbe",
                  .run = Run::StartUpCheckIdn,
                  .operation = Op::CommPort,
                  .nth = 1,
                  .outcome = kStartUpFoundNoMeter},
        // open_check, the probe of port 3 (after ports 1 and 2): it ends, the port counts absent.
        StyleCase{.name = "OpenCheckClose",
                  .run = Run::StartUpProbes,
                  .operation = Op::Close,
                  .nth = 1,
                  .outcome = kThirdPortAbsent},
        StyleCase{.name = "OpenCheckCommPort",
                  .run = Run::StartUpProbes,
                  .operation = Op::CommPort,
                  .nth = 3,
                  .outcome = kThirdPortAbsent},
        StyleCase{.name = "OpenCheckSettings",
                  .run = Run::StartUpProbes,
                  .operation = Op::Settings,
                  .nth = 3,
                  .outcome = kThirdPortAbsent},
        StyleCase{.name = "OpenCheckOpen",
                  .run = Run::StartUpProbes,
                  .operation = Op::Open,
                  .nth = 3,
                  .outcome = kThirdPortAbsent},
        // error_open_check, at a press in update mode: it ends without turning Label2 black, and
        // the first tick reopens the port itself.
        StyleCase{.name = "ErrorOpenCheckClose",
                  .run = Run::UpdateModePress,
                  .operation = Op::Close,
                  .nth = 1,
                  .outcome = std::string("Label2 unchanged at the press, ") + kUpdated},
        StyleCase{.name = "ErrorOpenCheckCommPort",
                  .run = Run::UpdateModePress,
                  .operation = Op::CommPort,
                  .nth = 1,
                  .outcome = std::string("Label2 unchanged at the press, ") + kUpdated},
        StyleCase{.name = "ErrorOpenCheckOpen",
                  .run = Run::UpdateModePress,
                  .operation = Op::Open,
                  .nth = 1,
                  .outcome = std::string("Label2 unchanged at the press, ") + kUpdated},
        // "Upload Firmware": dropping the waiting input is skipped and the update starts.
        StyleCase{.name = "UploadStartInput",
                  .run = Run::NormalPress,
                  .operation = Op::Input,
                  .nth = 1,
                  .outcome = std::string(
                                 "at the press Command1 off, COM1 off, Command2 off, Label6 shown, "
                                 "Timer1 on, running on; ") +
                             kUpdated},
        // The stop routines: dropping the waiting input is skipped, the controls come back.
        StyleCase{.name = "RunStopInput",
                  .run = Run::NormalSuccessMessage,
                  .operation = Op::Input,
                  .nth = 1,
                  .outcome = kUpdated},
        StyleCase{.name = "ErrRunStopInput",
                  .run = Run::ReplyTimeOutMessage,
                  .operation = Op::Input,
                  .nth = 1,
                  .outcome = R"(Power cycle the Meter, blocks 21, version "V3.05", Command1 off, )"
                             "COM1 off, Command2 on, Label6 hidden, Timer1 off, running off"},
        // The timer's tick: any refusal ends the update on the run-time-error path.
        StyleCase{.name = "TickOutputOfThePlainEnterCommand",
                  .run = Run::NormalTransfer,
                  .operation = Op::Output,
                  .nth = 1,
                  .outcome = run_time_error(0, "V3.05")},
        StyleCase{.name = "TickCloseBeforeTheUpdateSpeed",
                  .run = Run::NormalTransfer,
                  .operation = Op::Close,
                  .nth = 1,
                  .outcome = run_time_error(0, "Updating")},
        StyleCase{.name = "TickSettingsOfTheUpdateSpeed",
                  .run = Run::NormalTransfer,
                  .operation = Op::Settings,
                  .nth = 1,
                  .outcome = run_time_error(0, "Updating")},
        StyleCase{.name = "TickOpenAtTheUpdateSpeed",
                  .run = Run::NormalTransfer,
                  .operation = Op::Open,
                  .nth = 1,
                  .outcome = run_time_error(0, "Updating")},
        StyleCase{.name = "TickOutputOfTheMaskedEnterCommand",
                  .run = Run::NormalTransfer,
                  .operation = Op::Output,
                  .nth = 2,
                  .outcome = run_time_error(0, "Updating")},
        StyleCase{.name = "TickInputOfTheAcknowledgement",
                  .run = Run::NormalTransfer,
                  .operation = Op::Input,
                  .nth = 1,
                  .outcome = run_time_error(0, "Updating")},
        StyleCase{.name = "TickOutputOfTheFirstBlock",
                  .run = Run::NormalTransfer,
                  .operation = Op::Output,
                  .nth = 3,
                  .outcome = run_time_error(0, "Updating")},
        StyleCase{.name = "TickInputOfTheFirstVerdict",
                  .run = Run::NormalTransfer,
                  .operation = Op::Input,
                  .nth = 2,
                  .outcome = run_time_error(1, "Updating")},
        StyleCase{.name = "TickCommPortOfTheFinish",
                  .run = Run::NormalFinish,
                  .operation = Op::CommPort,
                  .nth = 1,
                  .outcome = run_time_error(60, "V3.07")}),
    [](const auto& info) { return std::string(info.param.name); });

// The load sequence's one error path: a step that fails abandons the rest, and the program ends
// without a message.
TEST(FailureStyle, AFailedStepOfTheLoadSequenceEndsTheProgramSilently) {
    testing::WindowRig rig;
    rig.world.add_meter(kMeterPort);
    rig.world.window.refuse_show = true;
    rig.load();
    EXPECT_TRUE(rig.ended());
    EXPECT_FALSE(rig.world.window.shown);
    EXPECT_TRUE(rig.world.messages.shown.empty());
    EXPECT_EQ(rig.world.port.opens(), 0);
    // The steps before the window is shown have run; nothing was handed back.
    EXPECT_EQ(rig.form.Label4.caption(), "Searching");
    EXPECT_FALSE(rig.form.COM1.enabled());
    EXPECT_FALSE(rig.form.Command1.enabled());
    EXPECT_FALSE(rig.form.Command2.enabled());
}

}  // namespace
}  // namespace r462xe
