// Identification of one candidate port during the port search: the probe once, then up to three
// queries. Every failure, of the port or of the reply, counts as a failed attempt.
#include "app/form1.h"
#include "identify/idn_reply.h"

namespace r462xe {

namespace {
constexpr int kAttempts = 3;
constexpr double kStepWait = 0.1;
constexpr double kAfterFlush = 0.2;
constexpr double kProbeReplyTime = 4.0;
constexpr double kBeforeQuery = 0.4;
constexpr double kQueryReplyTime = 2.0;

enum class Probe { UpdateMode, GoOn, PortFailed };
}  // namespace

void Form1::check_idn() {
    idn_attempts = 0;
    rx_bytes.clear();
    wait_seconds(kStepWait);

    // The probe runs once per call.
    auto probe = [this] {
        // The close marks the component's port closed before it lets go of the device, so this
        // guard never fires here; it stays for a component whose close may fail and leave the
        // port open, which must then not be renumbered or reconfigured under its owner.
        if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
        if (MSComm1.PortOpen()) return Probe::GoOn;
        wait_seconds(kStepWait);
        MSComm1.set_CommPort(port_no);
        MSComm1.set_Settings(kUpdateSettingsText);  // the probe: update-mode speed
        // Two waits of a tenth, not one of two tenths: each dispatches the window's events and
        // ends only after its own end time, and the search's pace per port is made of them.
        wait_seconds(kStepWait);
        wait_seconds(kStepWait);
        if (!MSComm1.PortOpen()) open_port_noting_why();
        if (!MSComm1.PortOpen()) return Probe::GoOn;
        flush_input();
        wait_seconds(kAfterFlush);
        tx_bytes = std::string(kProbeLineFeeds, '\n');
        MSComm1.Output(tx_bytes);
        wait_seconds(kProbeReplyTime);
        rx_text.clear();
        read_reply_into_rx_text(true);
        return probe_answer_says_update_mode(rx_text) ? Probe::UpdateMode : Probe::GoOn;
    };
    Probe probed = Probe::PortFailed;
    try {
        probed = probe();
    } catch (const PortError& error) {
        note_exchange_failure(error);
    } catch (const std::exception&) {
    }
    if (probed == Probe::UpdateMode) {
        note_port_finding(PortFindingKind::UpdateMode);
        show_update_mode();
        port_serial[static_cast<std::size_t>(port_no)] = texts::kUpdating;
        found_port = port_no;
        return;
    }
    if (probed == Probe::PortFailed && ++idn_attempts >= kAttempts) return;

    // One query; false when the attempt failed, whether at the port or in the reply.
    auto query = [this] {
        wait_seconds(kStepWait);
        if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
        if (MSComm1.PortOpen()) return false;
        wait_seconds(kStepWait);
        MSComm1.set_Settings(kNormalSettingsText);
        wait_seconds(kStepWait);
        if (!MSComm1.PortOpen()) open_port_noting_why();
        if (!MSComm1.PortOpen()) return false;
        flush_input();
        rx_text.clear();
        tx_bytes = kIdnQuery;
        wait_seconds(kBeforeQuery);
        MSComm1.Output(tx_bytes);
        held_wait(kQueryReplyTime);
        rx_text.clear();
        read_reply_into_rx_text(false);
        return true;
    };
    for (;;) {
        bool answered = false;
        try {
            answered = query();
        } catch (const PortError& error) {
            note_exchange_failure(error);
        } catch (const std::exception&) {
        }
        if (answered) {
            const SearchIdnReading reading = read_search_idn_reply(rx_text);
            if (reading.identified) {
                note_port_finding(PortFindingKind::Meter, reading.fields.serial);
                show_identified(reading.fields);
                port_serial[static_cast<std::size_t>(port_no)] = reading.fields.serial;
                found_port = port_no;
                return;
            }
            note_reply(rx_text);
        }
        if (++idn_attempts >= kAttempts) return;  // no meter here
    }
}

}  // namespace r462xe
