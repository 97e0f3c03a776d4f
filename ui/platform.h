// The small interfaces through which the logic reaches everything outside itself: the clock and
// event dispatching, the timer, message boxes, the window system, the sleep inhibitor and the
// update history. Each front end implements them for the program on its system; the tests
// implement them in virtual time.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "upload/update_history.h"

namespace r462xe {

class SerialPort;

class EventLoop {
  public:
    virtual ~EventLoop() = default;
    // Steady time in seconds; it never jumps back (midnight changes nothing).
    virtual double now() = 0;
    // Dispatch the window's pending events once, then return.
    virtual void do_events() = 0;
    // Dispatch pending events once; when none is pending, first block until one arrives or the
    // clock reaches `deadline`, whichever is first. Waiting this way costs no processor time.
    virtual void wait_for_events(double deadline) = 0;
};

// `Timer1`: while enabled it raises its tick every interval (ui/timer_interval.h) on the
// user-interface thread.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void set_enabled(bool enabled) = 0;
    virtual bool enabled() const = 0;
};

enum class MsgIcon { Critical, Exclamation, Information };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A modal box with the one button OK; returns once the user has pressed it. Window events
    // keep being dispatched while it shows. `details`: what happened and what to do, shown on
    // the user's demand below the text (empty: none); lines end with "\n".
    virtual void show(const std::string& text, const std::string& title, MsgIcon icon,
                      const std::string& details) = 0;
};

// Where the program tells a user who started it from a terminal what went wrong, also where no
// box shows: one line each (standard error in the program).
class ErrorLog {
  public:
    virtual ~ErrorLog() = default;
    virtual void write_line(const std::string& line) = 0;
};

// What a start finds when it claims the one instance of the program that a user may run.
struct InstanceClaim {
    enum class Outcome {
        First,        // no other instance runs: this one goes on, and later starts come to it
        AnotherRuns,  // another instance runs, and has brought its window forward
        Unanswered,   // another instance holds the claim but did not answer: `why` says how
        Refused,      // no place for the claim that is the user's alone: `why` says what is wrong
    };
    Outcome outcome = Outcome::First;
    // Unanswered: where the running instance was asked and what came of it. Refused: what is
    // wrong with each folder where the claim could have been made.
    std::string why{};
};

// The exit statuses the window ends the program with.
inline constexpr int kExitClosed = 0;       // the window closed, or another instance took over
inline constexpr int kExitRefused = 1;      // the start was refused: no safe place for its claim
inline constexpr int kExitUnanswered = 1;   // another instance runs, but its window was not shown
inline constexpr int kExitStartFailed = 1;  // the load sequence failed (no usable image, ...)

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;
    // Claims the one instance of the program for this start. Where starts may run side by side
    // (unattended runs, each on its own ports), every start is the first.
    virtual InstanceClaim claim_instance() = 0;
    // The folder that holds the program's executable, as the platform reports it, in the
    // platform's own form of a path (wide on Windows), so that any letters survive.
    virtual std::filesystem::path program_folder() = 0;
    // The folders for the data of the user's programs, the user's own first, where a user who may
    // not write the program's folder can put the image; none where the system has no such folder.
    virtual std::vector<std::filesystem::path> user_data_folders() { return {}; }
    virtual void show_window() = 0;
    // Ask the window to close: raises the close request (`Form_Unload`).
    virtual void unload_window() = 0;
    // End the program at once with this exit status; does not return.
    [[noreturn]] virtual void end_program(int exit_status) = 0;
};

// Keeps the computer from sleeping, on demand or when idle, while an update runs: a computer that
// suspends during the transfer leaves the meter without firmware. Where the system offers no
// such service, or refuses it, the update runs all the same.
class SleepInhibitor {
  public:
    virtual ~SleepInhibitor() = default;
    // Keeps the computer awake until `release`; `why` is what the system shows its user about it.
    virtual void hold(const std::string& why) = 0;
    // Lets the computer sleep again; nothing happens when nothing is held.
    virtual void release() = 0;
};

// Where every update attempt is written down, for the technician's records. Several programs may
// write to it at once (a bench of unattended runs).
class UpdateHistory {
  public:
    virtual ~UpdateHistory() = default;
    // The file that keeps the history; empty when the system names no folder for it.
    virtual std::filesystem::path file() = 0;
    // Appends `record` to the file whole or not at all, after `header` when the file is new or
    // empty; a record never mixes with another program's. Returns why it was not written; empty
    // when it was.
    virtual std::string append(const std::string& header, const std::string& record) = 0;
    // The wall clock now, in the user's time zone.
    virtual LocalTime local_time() = 0;
    // The SHA-256 of `bytes`, in lower-case hexadecimal.
    virtual std::string sha256(const std::string& bytes) = 0;
};

struct Platform {
    EventLoop& events;
    SerialPort& port;
    Timer& timer;
    MessageBoxes& messages;
    WindowSystem& window;
    SleepInhibitor& sleep;
    ErrorLog& error_log;
    UpdateHistory& history;
};

}  // namespace r462xe
