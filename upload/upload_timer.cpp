// The transfer, driven by Timer1's tick through four states held in upload_step:
//   0 enter update mode -> 1 await acknowledgement -> 2 send block (or finish) <-> 3 await reply.
// One tick may pass through several states; a tick that sends a block ends after it.
#include "app/failure_styles.h"
#include "app/form1.h"
#include "ports/port_list_text.h"
#include "serial/mask.h"
#include "upload/update_failure.h"
#include "upload/update_waits.h"
#include "upload/upload_protocol.h"
#include "upload/upload_states.h"

namespace r462xe {

namespace {
constexpr int kAcknowledgementTicks = 100;
constexpr int kBlockReplyTicks = 50;

constexpr const char* kPowerCycleText =
    "Please power cycle the Meter before click on the OK button to continue the firmware "
    "updating.";
constexpr const char* kPowerCycleTitle = "Power cycle the Meter";
constexpr const char* kSuccessText = "Firmware Update was completed successfully.";
constexpr const char* kSuccessTitle = "Firmware Update";
}  // namespace

void Form1::Timer1_Timer() {
    // One error path: any error in the tick ends the update through the run-time-error path.
    try {
        Timer1.set_enabled(false);
        if (!upload_running) return;
        end_close_refused_if_due();
        TickNext next = TickNext::Continue;
        while (next == TickNext::Continue) {
            switch (upload_step) {
                case kStateEnterUpdateMode:
                    next = state_enter_update_mode();
                    break;
                case kStateAwaitAcknowledgement:
                    next = state_await_acknowledgement();
                    break;
                case kStateSendBlock:
                    next = state_send_block();
                    break;
                case kStateAwaitBlockReply:
                    next = state_await_block_reply();
                    break;
                default:
                    next = TickNext::Exit;
                    break;
            }
        }
        Timer1.set_enabled(true);
    } catch (const std::exception& error) {
        fail_run_time_error(error);
    }
}

Form1::TickNext Form1::state_enter_update_mode() {
    auto reopen_with = [this](const std::string& settings) {
        MSComm1.set_PortOpen(false);
        MSComm1.set_Settings(settings);
        open_port_noting_why();
    };
    if (!update_mode) {
        // A meter in normal mode restarts into its update mode on the plain command, which it
        // hears only at the normal line settings. A failed update can leave the port at the
        // update speed with the meter still in normal mode: every press would then send a
        // command nobody hears, so the port goes back to the normal settings first.
        if (MSComm1.Settings() != comm_settings) reopen_with(comm_settings);
        tx_bytes = kEnterUpdateMode;
        MSComm1.Output(tx_bytes);
        held_wait(kMeterRestartWait);
        reopen_with(upload_settings);
        show_update_phase(UpdatePhase::EnteringUpdateMode, kAcknowledgeWait);
        tx_bytes = masked(kEnterUpdateMode);
        MSComm1.Output(tx_bytes);
        wait_seconds(kAcknowledgeWait);
        upload_step = kStateAwaitAcknowledgement;
        return TickNext::Exit;
    }
    reopen_with(upload_settings);
    rx_bytes = MSComm1.Input();  // whatever waited is stale
    tx_bytes = masked(kEnterUpdateMode);
    MSComm1.Output(tx_bytes);
    held_wait(kAcknowledgeWait);
    upload_step = kStateAwaitAcknowledgement;
    return TickNext::Continue;
}

Form1::TickNext Form1::state_await_acknowledgement() {
    rx_bytes = MSComm1.Input();
    rx_text += masked(rx_bytes);
    ++poll_count;
    if (poll_count > kAcknowledgementTicks) {
        fail_no_acknowledgement();
        return TickNext::Exit;
    }
    if (!is_acknowledgement(rx_text)) return TickNext::Exit;
    poll_count = 0;
    update_mode = true;
    upload_step = kStateSendBlock;
    rx_text.clear();
    return TickNext::Continue;
}

Form1::TickNext Form1::state_send_block() {
    if (block_index > kLastBlock) {
        finish_update();
        return TickNext::Exit;
    }
    upload_step = kStateAwaitBlockReply;
    // The frame leaves as three writes: number, image bytes, check byte. tx_byte and tx_block,
    // the window's send buffers, hold each piece as it goes, so the shared state always shows
    // what is on its way; the writes take the same bytes from the frame.
    const std::string frame = block_frame(block_index, fw_image, block_check);
    tx_byte[0] = static_cast<std::uint8_t>(frame.front());
    MSComm1.Output(frame.substr(0, 1));
    std::copy(frame.begin() + 1, frame.end() - 1, tx_block.begin());
    MSComm1.Output(frame.substr(1, tx_block.size()));
    tx_byte[0] = static_cast<std::uint8_t>(frame.back());
    MSComm1.Output(frame.substr(frame.size() - 1));
    ProgressBar1.set_value(static_cast<float>(block_index));
    show_block_going_out();
    ++block_index;
    return TickNext::Exit;
}

Form1::TickNext Form1::state_await_block_reply() {
    rx_block_bytes = MSComm1.Input();
    rx_text += masked(rx_block_bytes);
    ++poll_count;
    if (poll_count > kBlockReplyTicks) {
        fail_reply_timeout();
        return TickNext::Exit;
    }
    switch (block_verdict(rx_text)) {
        case BlockVerdict::Accepted:
            break;
        case BlockVerdict::Rejected:
            if (++nak_count > kRejectionLimit) {
                fail_too_many_rejections();
                return TickNext::Exit;
            }
            ++attempt_.record.blocks_resent;
            --block_index;  // the same block again
            break;
        case BlockVerdict::Pending:
            return TickNext::Exit;
    }
    poll_count = 0;
    rx_text.clear();
    upload_step = kStateSendBlock;
    return TickNext::Continue;
}

void Form1::finish_update() {
    show_update_phase(UpdatePhase::MeterRestarting);
    tx_bytes = masked(kLeaveUpdateMode);
    MSComm1.Output(tx_bytes);
    held_wait(kLeaveUpdateWait);
    update_mode = false;
    ProgressBar1.set_value(0);
    MSComm1.set_PortOpen(false);
    // The port the list names; when the list names none (a search that found no meter), the
    // port the update used.
    if (const int listed = port_number_from_list_text(COM1.text()); listed != 0) {
        MSComm1.set_CommPort(listed);
    }
    MSComm1.set_Settings(comm_settings);
    open_port_noting_why();
    // The meter must prove that it came back: an identity left from before the update would
    // pass for an answer when the identification ends early on a failed port.
    show_update_phase(UpdatePhase::CheckingMeter);
    clear_identity();
    idn_attempts = 0;
    send_idn();
    // Only a meter that answers from its normal mode took the image. One still in its update
    // mode ("UPGR 0" lost, or a stray "0" taken for a verdict) or one that does not answer at
    // all may hold no firmware: telling the user it succeeded would send it back into the
    // field. It gets the power-cycle message instead, and the next press updates it again.
    if (!idn_version.empty() && !update_mode) {
        name_entry_after_identification(MSComm1.CommPort());
        last_update = UpdateOutcome::Succeeded;
        show_update_phase(UpdatePhase::None);
        // The message stays a success when the meter kept its version; the details and the
        // history say so.
        const std::string& before = attempt_.record.version_before;
        const std::string history_line =
            end_attempt(AttemptOutcome::Updated, before == idn_version ? kVersionUnchanged : "");
        messages.show(kSuccessText, kSuccessTitle, MsgIcon::Information,
                      version_change_details(before, idn_version) + history_line);
    } else {
        show_power_cycle_message(update_failure_details(
            update_mode ? UpdateFailure::StillInUpdateMode : UpdateFailure::NoAnswerAfter));
    }
    run_stop();
}

// Every failure of an update ends in this message; the bar's text goes, as the update has ended.
void Form1::show_power_cycle_message(const std::string& details) {
    last_update = UpdateOutcome::Failed;
    show_update_phase(UpdatePhase::None);
    show_failure(kPowerCycleText, kPowerCycleTitle, MsgIcon::Exclamation,
                 details + end_attempt(AttemptOutcome::PowerCycleAsked, details));
}

// What the details say of a failure, taken where the update stands when it fails.
std::string Form1::update_failure_details(UpdateFailure failure, const std::string& system_text) {
    const int port = MSComm1.CommPort();
    return power_cycle_details({.failure = failure,
                                .phase = update_track_.phase,
                                .block = update_track_.block,
                                .port = port,
                                .device = MSComm1.device_of(port),
                                .system_text = system_text});
}

void Form1::fail_no_acknowledgement() {
    show_power_cycle_message(update_failure_details(UpdateFailure::NoAcknowledgement));
    run_stop();
    poll_count = 0;
    rx_text.clear();
}

void Form1::fail_too_many_rejections() {
    nak_count = 0;
    show_power_cycle_message(update_failure_details(UpdateFailure::TooManyRejections));
    ProgressBar1.set_value(0);
    err_run_stop();
    Command1.set_enabled(false);
    poll_count = 0;
}

void Form1::fail_reply_timeout() {
    show_power_cycle_message(update_failure_details(UpdateFailure::ReplyTimeOut));
    ProgressBar1.set_value(0);
    err_run_stop();
    Command1.set_enabled(false);
    Label6.set_visible(false);
    poll_count = 0;
    rx_text.clear();
}

void Form1::fail_run_time_error(const std::exception& error) {
    // Told as the update stood when it failed, before the steps below move on.
    UpdateFailure failure = UpdateFailure::PortFailed;
    std::string system_text = error.what();
    if (const auto* port_error = dynamic_cast<const PortError*>(&error)) {
        const PortFault fault = port_error->trouble.fault;
        // A device that is missing at a reopen went away as surely as one that vanished.
        if (fault == PortFault::Gone || fault == PortFault::Absent)
            failure = UpdateFailure::DeviceGone;
        if (!port_error->trouble.system_text.empty()) system_text = port_error->trouble.system_text;
    }
    const std::string details = update_failure_details(failure, system_text);
    rx_text.clear();
    poll_count = 0;
    COM1_Click();
    // run_stop, but the computer stays awake until the message that follows has been answered,
    // as on every other end of an update.
    stop_and_give_back();
    skip_on_error([&] { Command1.set_enabled(false); });
    show_power_cycle_message(details);
    sleep_inhibitor.release();
}

}  // namespace r462xe
