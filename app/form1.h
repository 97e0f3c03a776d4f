// `Form1`, the one window: its controls, its shared state and all its procedures. Each
// procedure is defined in the folder of its subsystem (app/, serial/, identify/, ports/, image/,
// upload/); they call each other, and hand their results over in the shared state.
#pragma once

#include <string>

#include "app/shared_state.h"
#include "ports/port_finding_rule.h"
#include "serial/serial_port.h"
#include "ui/controls.h"
#include "ui/platform.h"
#include "upload/update_failure.h"
#include "upload/update_history.h"
#include "upload/update_progress.h"

namespace r462xe {

enum class ImageLoad { Done, Failed };

// How the last update ended, as its message told the user.
enum class UpdateOutcome { None, Succeeded, Failed };

class Form1 : public SharedState, public Controls {
  public:
    // The world that holds the window wires its events to the handlers below, once.
    explicit Form1(const Platform& platform);

    // Event handlers.
    void Form_Load();
    // The close request; true cancels it (an update runs). Otherwise the program ends.
    bool Form_Unload();
    void COM1_Click();
    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();
    void MSComm1_OnComm();

    // Serial link.
    void wait_seconds(double seconds);

    // Meter identification.
    void send_idn();
    void check_idn();
    bool isFWUpdateSupported(const std::string& model, const std::string& sn);

    // Port discovery and selection.
    void select_comport();
    void open_check();
    void check_comport();
    void name_entry_after_identification(int port);
    void comcheck();
    void error_open_check();

    // Firmware image.
    ImageLoad load_image();
    void find_image_place();

    // Firmware upload.
    void run_stop();
    void err_run_stop();

    // The program ends before the press's message (a signal asked it to): the update history
    // says so, with `why`, since no message will. Nothing happens when no press is under way.
    void break_off_attempt(const std::string& why);

    // For callers that act on the result, such as an unattended run's exit status.
    UpdateOutcome last_update = UpdateOutcome::None;
    // What the last look at each port found, to tell why it gave no meter (the messages'
    // details, the port list's tooltips).
    PortFindings port_findings;

    EventLoop& events;
    SerialPort& MSComm1;
    Timer& Timer1;
    MessageBoxes& messages;
    WindowSystem& window;
    SleepInhibitor& sleep_inhibitor;
    ErrorLog& error_log;
    UpdateHistory& history;

  private:
    void load_steps();
    // A failure message with its details; the details also go to the error log as one line.
    void show_failure(const std::string& text, const std::string& title, MsgIcon icon,
                      const std::string& details);
    // Port findings: forgotten when a search begins, noted by the opens and the exchanges.
    void forget_port_findings();
    // Notes what the last look at `port` found; the port list's tooltips follow.
    void set_port_finding(int port, const PortFinding& finding);
    // Opens MSComm1; a failed open notes why before its error goes on.
    void open_port_noting_why();
    void note_port_finding(PortFindingKind kind, const std::string& answer = {});
    // What the meter was asked, unanswered or answered by something else.
    void note_reply(const std::string& reply);
    void note_exchange_failure(const PortError& error);
    // Port helpers shared by the exchanges.
    void flush_input();
    void read_reply_into_rx_text(bool unmask);
    void held_wait(double seconds);
    bool probe_for_update_mode_at_port_choice();
    void query_idn_at_port_choice();
    void show_identified(const struct IdnFields& fields);
    void show_update_mode();
    // Forgets the meter's four identification fields: no meter is identified.
    void clear_identity();
    // The version, serial and model captions, in this order.
    void set_value_captions(const std::string& text);
    void rebuild_port_list();
    void fill_port_list();
    void select_found_port();
    // The port list's tooltips anew from its entries, its selection and the port findings.
    void show_port_tips();
    void enable_upload_if_eligible();
    void stop_transfer();
    // run_stop without letting the computer sleep: for an end whose message follows the stop.
    void stop_and_give_back();
    // Upload state machine pieces, one per state.
    // Whether a state hands on to the next state in the same tick or ends the tick.
    enum class TickNext { Continue, Exit };
    TickNext state_enter_update_mode();
    TickNext state_await_acknowledgement();
    TickNext state_send_block();
    TickNext state_await_block_reply();
    void finish_update();
    // The failure paths of the transfer, each in its own order of actions.
    void fail_no_acknowledgement();
    void fail_too_many_rejections();
    void fail_reply_timeout();
    void fail_run_time_error(const std::exception& error);
    std::string update_failure_details(UpdateFailure failure, const std::string& system_text = {});
    void show_power_cycle_message(const std::string& details);
    // The bar's text: the phase of the update and the time left; UpdatePhase::None clears it.
    void show_update_phase(UpdatePhase phase, double waits_ahead = 0);
    // The block that goes out now (block_index), counted for the pace.
    void show_block_going_out();
    double block_pace() const;

    // The update as the user follows it, for the bar's text and the failure messages' details.
    struct UpdateTrack {
        UpdatePhase phase = UpdatePhase::None;
        int block = 0;                   // the block going out, 1 to 60
        int blocks_sent = 0;             // blocks sent so far, each resend counted
        double first_block_time = 0;     // when the first block went out
        std::string text;                // what the bar says of the update, when not overlaid
        double close_refused_until = 0;  // the refusal to close shows on the bar until then
    };
    // The refusal to close on the bar, for a while; the update's own text comes back after it.
    void show_close_refused();
    void end_close_refused_if_due();
    UpdateTrack update_track_;

    // The update history's record of the press that runs now.
    struct Attempt {
        bool open = false;      // pressed, and its record not yet written
        double started_at = 0;  // steady time of the press
        HistoryRecord record{};
    };
    // At the press: when, and with which image.
    void begin_attempt();
    // As the transfer starts: the port and the meter it updates.
    void note_attempt_start();
    // Writes the record with how the attempt ended and its details (one line in the file).
    // Returns the line for the message's details about the history: where it is kept (after a
    // success), or why this attempt is not in it; empty otherwise.
    std::string end_attempt(AttemptOutcome outcome, const std::string& details);
    Attempt attempt_;
    // The image file's SHA-256, as start-up read it.
    std::string image_sha256_;
    // The status the program ends with when the window closes.
    int end_status_ = kExitClosed;

    // Per port: its failed open has gone to the error log since the search began.
    std::array<bool, kLastPortNumber + 1> open_failure_told_{};
};

}  // namespace r462xe
