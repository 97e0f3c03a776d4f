// Identification of the meter on the port that MSComm1 names: first the update-mode probe, then
// the "*IDN?" query. Used by the port choice, the auto search, the upload start and its finish.
#include "app/form1.h"
#include "identify/idn_reply.h"
#include "identify/idn_waits.h"

namespace r462xe {

namespace {
constexpr int kMaxAttempt = 3;  // attempts 0 to 3: at most four queries
}  // namespace

// True when the meter answers the probe as a meter in its update mode.
bool Form1::probe_for_update_mode_at_port_choice() {
    // The close marks the component's port closed before it lets go of the device, so this
    // guard never fires here; it stays for a component whose close may fail and leave the port
    // open, which must then not have its speed changed under it.
    if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
    if (MSComm1.PortOpen()) return false;
    MSComm1.set_Settings(kUpdateSettingsText);  // the probe: update-mode speed
    if (!MSComm1.PortOpen()) open_port_noting_why();
    if (!MSComm1.PortOpen()) return false;
    wait_seconds(kAfterOpen);
    flush_input();
    wait_seconds(kAfterFlush);
    tx_bytes = std::string(kProbeLineFeeds, '\n');
    if (!MSComm1.PortOpen()) return false;
    MSComm1.Output(tx_bytes);
    wait_seconds(kReplyTime);
    rx_text.clear();
    read_reply_into_rx_text(true);
    return probe_answer_says_update_mode(rx_text);
}

// Sends "*IDN?" at the normal speed and leaves the reply in rx_text.
void Form1::query_idn_at_port_choice() {
    rx_text.clear();
    if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
    if (MSComm1.PortOpen()) return;
    MSComm1.set_Settings(kNormalSettingsText);
    if (!MSComm1.PortOpen()) open_port_noting_why();
    wait_seconds(kAfterOpen);
    if (!MSComm1.PortOpen()) return;
    flush_input();
    wait_seconds(kAfterFlush);
    if (!MSComm1.PortOpen()) return;
    tx_bytes = kIdnQuery;
    MSComm1.Output(tx_bytes);
    wait_seconds(kReplyTime);
    rx_text.clear();
    read_reply_into_rx_text(false);
}

void Form1::send_idn() {
    // Any failure of a port operation ends the identification at once, silently.
    try {
        for (;;) {
            if (idn_attempts > kMaxAttempt) {  // no meter
                idn_attempts = 0;
                Label7.set_caption("");
                Label5.set_caption("");
                Label4.set_caption("");
                Command2.set_enabled(false);
                return;
            }
            rx_bytes.clear();
            wait_seconds(kBeforeAttempt);
            if (probe_for_update_mode_at_port_choice()) {
                note_port_finding(PortFindingKind::UpdateMode);
                show_update_mode();
                return;
            }
            flush_input();
            // The query; a recognised but unusable answer repeats the query alone.
            for (;;) {
                query_idn_at_port_choice();
                const IdnReading reading = read_idn_reply(rx_text);
                if (reading.verdict == IdnVerdict::Identified) {
                    note_port_finding(PortFindingKind::Meter, reading.fields.serial);
                } else {
                    note_reply(rx_text);
                }
                if (reading.verdict == IdnVerdict::EndSilently ||
                    reading.verdict == IdnVerdict::OtherMeter) {
                    return;
                }
                if (reading.verdict == IdnVerdict::Identified) {
                    show_identified(reading.fields);
                    idn_attempts = 0;
                    return;
                }
                ++idn_attempts;
                if (reading.verdict == IdnVerdict::FailedAttempt || idn_attempts > kMaxAttempt) {
                    break;  // back to the attempt head
                }
            }
        }
    } catch (const PortError& error) {
        note_exchange_failure(error);
    } catch (const std::exception&) {
    }
}

}  // namespace r462xe
