// The unattended runner: the window run without a user. It reads its command line, presses
// "Upload Firmware" while the window is at rest until an update succeeds or the presses run out,
// lets message boxes answer themselves, prints every change of the window as one line of a
// transcript, records the session when asked, and ends with a status that says whether an update
// succeeded. Plain C++ over the front end's interfaces, so that every front end runs it alike.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runner/front_end.h"
#include "runner/runner_options.h"

namespace r462xe {
class Form1;
}

namespace r462xe::runner {

class SessionRecord;

// The exit statuses.
inline constexpr int kExitUpdated = 0;       // an update succeeded
inline constexpr int kExitNotUpdated = 1;    // none succeeded, or none was asked for
inline constexpr int kExitBadArguments = 2;  // the command line (or --record's file) cannot run

// What the command line asks of the program before any window exists.
struct CommandLine {
    std::optional<Options> options = {};  // a run of the window with these options; otherwise:
    int status = 0;                       // the program ends with this status
    std::string out = {};                 // after printing this on standard output
    std::string err = {};                 // and this on standard error
};

// `program`: the program's file name, as the usage and the error lines show it; `arguments`:
// the command line after it, each argument the bytes the system gave.
CommandLine read_command_line(const std::string& program,
                              const std::vector<std::string>& arguments);

// Runs the window `form`, whose events `front_end` dispatches to its handlers, as `options` ask,
// and writes the transcript to `transcript`, flushed line by line. It listens to the window's
// controls: it must live as long as `form` does.
class Runner {
  public:
    // `program`: the program's file name, as the recording's notes give it.
    Runner(Options options, std::string program, Form1& form, FrontEnd& front_end,
           std::ostream& transcript);
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;
    ~Runner();

    // The load, then the presses; returns the exit status, unless the program ends from within
    // the window first (the front end's end of the program, which asks the status then).
    int run();

  private:
    bool open_record();
    void line(const std::string& change);
    bool succeeded() const;
    bool window_at_rest();
    void press_when_idle();
    int end();

    const Options options_;
    const std::string program_;
    Form1& form_;
    FrontEnd& front_end_;
    std::ostream& transcript_;
    std::unique_ptr<SessionRecord> record_;
    std::string record_refusal_;  // why the recording could not be opened
    double record_lost_at_ = 0;   // when writing the recording failed, on the transcript's clock
    int presses_ = 0;
};

// The transcript's line for a change seen `seconds` after the start: the time with three
// decimals, a blank, the change.
std::string transcript_line(double seconds, const std::string& change);

}  // namespace r462xe::runner
