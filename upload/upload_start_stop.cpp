// "Upload Firmware": make sure a meter answers, lock the controls, start the timer-driven
// transfer. And the two routines that end an update. The computer stays awake from the press to
// the end of the update.
#include "app/failure_styles.h"
#include "app/form1.h"
#include "upload/update_waits.h"
#include "upload/upload_states.h"

namespace r462xe {

namespace {
constexpr const char* kPortFailText = "Fail to open COM Port!";
constexpr const char* kPortFailTitle = "COM Port fail";
constexpr const char* kNoLinkText = "Meter Disconnected";
constexpr const char* kNoLinkTitle = "NO Link";
constexpr const char* kKeepAwakeReason =
    "Updating the firmware of an R462xE meter; an interrupted update leaves the meter without "
    "firmware";

// Lets the computer sleep again when a press ends without a running update (refused, or broken
// off by an error); a started update keeps it awake until a stop routine ends it.
class SleepUnlessRunning {
  public:
    explicit SleepUnlessRunning(Form1& form) : form_(form) {}
    ~SleepUnlessRunning() {
        if (!form_.upload_running) form_.sleep_inhibitor.release();
    }
    SleepUnlessRunning(const SleepUnlessRunning&) = delete;
    SleepUnlessRunning& operator=(const SleepUnlessRunning&) = delete;

  private:
    Form1& form_;
};
}  // namespace

void Form1::Command2_Click() {
    sleep_inhibitor.hold(kKeepAwakeReason);
    const SleepUnlessRunning sleep_unless_running(*this);
    begin_attempt();
    // A step that fails is skipped and the next one runs.
    skip_on_error([&] { Command2.set_enabled(false); });
    skip_on_error([&] { Command1.set_enabled(false); });
    skip_on_error([&] { COM1.set_enabled(false); });

    auto refuse = [&](const char* text, const char* title) {
        const std::string details = no_meter_details(port_findings);
        show_failure(text, title, MsgIcon::Critical,
                     details + end_attempt(AttemptOutcome::Refused, details));
        skip_on_error([&] { Command1.set_enabled(true); });
        skip_on_error([&] { Command2.set_enabled(true); });
        skip_on_error([&] { COM1.set_enabled(true); });
    };
    if (update_mode) {
        error_open_check();
    } else if (idn_version.empty()) {
        if (port_ok) {
            clear_identity();
            idn_attempts = 0;
            send_idn();
        } else {
            comcheck();
            if (!port_ok) return refuse(kPortFailText, kPortFailTitle);
            idn_attempts = 0;
            send_idn();
        }
        if (update_mode) {
            // The meter answered from its update mode (an update that failed before): it starts
            // as the next press would, instead of calling a meter that answered disconnected.
            error_open_check();
        } else if (idn_version.empty()) {
            return refuse(kNoLinkText, kNoLinkTitle);
        }
    }

    note_attempt_start();
    skip_on_error([&] { ProgressBar1.set_max(static_cast<float>(kLastBlock)); });
    skip_on_error([&] { Label6.set_visible(true); });
    skip_on_error([&] { Timer1.set_enabled(true); });
    poll_count = 0;
    upload_step = kStateEnterUpdateMode;
    block_index = 0;
    // The rejection limit counts the rejections of this update only.
    nak_count = 0;
    skip_on_error([&] { ProgressBar1.set_value(0); });
    // A meter in normal mode restarts into its update mode first.
    show_update_phase(UpdatePhase::EnteringUpdateMode,
                      update_mode ? kAcknowledgeWait : kMeterRestartWait + kAcknowledgeWait);
    // Nothing received before the start may reach the transfer.
    skip_on_error([&] { rx_text = MSComm1.Input(); });
    rx_text.clear();
    upload_running = true;
}

void Form1::run_stop() {
    stop_and_give_back();
    sleep_inhibitor.release();
}

void Form1::stop_and_give_back() {
    stop_transfer();
    skip_on_error([&] { Command1.set_enabled(true); });
    skip_on_error([&] { COM1.set_enabled(true); });
    skip_on_error([&] { Command2.set_enabled(true); });
    skip_on_error([&] { Label6.set_visible(false); });
}

// Ends an update but gives back only "Upload Firmware": the meter stays in its update mode and
// the user power-cycles it before pressing again.
void Form1::err_run_stop() {
    stop_transfer();
    skip_on_error([&] { Command2.set_enabled(true); });
    sleep_inhibitor.release();
}

// What both stop routines do first: the timer off, the counters back, waiting input dropped.
void Form1::stop_transfer() {
    skip_on_error([&] { Timer1.set_enabled(false); });
    poll_count = 0;
    upload_step = kStateEnterUpdateMode;
    block_index = 0;
    skip_on_error([&] { rx_text = MSComm1.Input(); });
    rx_text.clear();
    upload_running = false;
    show_update_phase(UpdatePhase::None);
}

}  // namespace r462xe
