#include "runner/runner.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/form1.h"
#include "image/image_layout.h"
#include "image/image_reader.h"
#include "runner/session_record.h"
#include "text/c_quote.h"

namespace r462xe::runner {

namespace {

// How often the runner looks whether the window is at rest for a press.
constexpr double kIdlePollSeconds = 0.2;

const char* outcome_word(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Succeeded:
            return "succeeded";
        case UpdateOutcome::Failed:
            return "failed";
        case UpdateOutcome::None:
            break;
    }
    return "none";
}

}  // namespace

CommandLine read_command_line(const std::string& program,
                              const std::vector<std::string>& arguments) {
    const ParseResult parsed = parse_options(arguments);
    switch (parsed.outcome) {
        case ParseResult::Outcome::Run:
            return {.options = parsed.options};
        case ParseResult::Outcome::Help:
            return {.status = 0, .out = usage(program)};
        case ParseResult::Outcome::Version:
            return {.status = 0, .out = version(program)};
        case ParseResult::Outcome::Error:
            break;
    }
    return {.status = kExitBadArguments,
            .err = program + ": " + parsed.error + "\n" + usage(program)};
}

std::string transcript_line(double seconds, const std::string& change) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f ", seconds);
    return time + change + "\n";
}

Runner::Runner(Options options, std::string program, Form1& form, FrontEnd& front_end,
               std::ostream& transcript)
    : options_(std::move(options)),
      program_(std::move(program)),
      form_(form),
      front_end_(front_end),
      transcript_(transcript) {}

Runner::~Runner() = default;

int Runner::run() {
    if (options_.folder) front_end_.set_program_folder(*options_.folder);
    if (options_.record && !open_record()) {
        form_.error_log.write_line("--record: cannot write " + *options_.record + " (" +
                                   record_refusal_ + ")");
        return kExitBadArguments;
    }
    // A mistyped cable path on a bench is spotted at once, not only as a button left disabled.
    for (const auto& [port, device] : options_.ports) {
        if (!front_end_.device_exists(device)) {
            form_.error_log.write_line("--port " + std::to_string(port) + "=" + device +
                                       ": the device does not exist");
        }
    }
    front_end_.set_exit_status([this] { return end(); });
    front_end_.answer_boxes_after(options_.answer_after);
    front_end_.observe_boxes(
        [this](const std::string& text, const std::string& title, const std::string& details) {
            // The details come first, so that a reader who waits for the box's line has them.
            if (!details.empty()) line("msgbox-details " + c_quote(details));
            line("msgbox " + c_quote(title) + " " + c_quote(text));
        });
    for (Control* control : form_.all()) {
        control->add_listener([this](const Control& changed, Property property) {
            line(change_line(changed, property));
        });
    }

    front_end_.load();
    if (options_.upload) {
        front_end_.start_ticks(kIdlePollSeconds, [this] { press_when_idle(); });
    } else if (!options_.stay) {
        form_.window.unload_window();
    }
    return front_end_.run_events();
}

bool Runner::open_record() {
    const auto image = form_.window.program_folder() / kImageFileName;
    // Only an image that can be one is read: a pipe would never end, a huge file would take long.
    std::error_code error;
    const bool image_shaped =
        std::filesystem::is_regular_file(image, error) &&
        std::filesystem::file_size(image, error) == static_cast<std::uintmax_t>(kImageBytes);
    record_ = SessionRecord::open(options_, program_, image,
                                  image_shaped ? front_end_.sha256_of(image) : std::nullopt,
                                  front_end_.port_now(), record_refusal_);
    if (!record_) return false;
    front_end_.observe_port(record_->observer());
    // The update goes on (stopping it would leave the meter in its update mode); the loss is said
    // at once, in the transcript, and again as the program ends.
    record_->set_on_loss([this](const std::string& why) {
        record_lost_at_ = front_end_.since_start();
        form_.error_log.write_line(
            "--record: writing " + *options_.record + " failed (" + why +
            "): the rest of the session is not recorded; the update goes on");
        line("record-lost " + c_quote(why));
    });
    return true;
}

// Flushed line by line: a reader follows the run as it happens, and nothing is lost when the
// program ends at once.
void Runner::line(const std::string& change) {
    transcript_ << transcript_line(front_end_.since_start(), change) << std::flush;
}

bool Runner::succeeded() const {
    return form_.last_update == UpdateOutcome::Succeeded;
}

// At rest: no handler's wait is being dispatched, no message box waits for its OK, and no update
// runs between its timer's ticks.
bool Runner::window_at_rest() {
    return front_end_.dispatch_depth() == 0 && front_end_.boxes_showing() == 0 &&
           !form_.upload_running;
}

void Runner::press_when_idle() {
    if (!window_at_rest()) return;
    if (!succeeded() && presses_ < options_.presses) {
        if (form_.Command2.enabled()) {
            ++presses_;
            front_end_.run_handler("Command2_Click", [this] { form_.Command2_Click(); });
            return;
        }
        form_.error_log.write_line("\"" + form_.Command2.caption() +
                                   "\" is disabled, no press made");
    }
    front_end_.stop_ticks();
    // With --stay the window stays as the presses left it, to be looked at.
    if (!options_.stay) form_.window.unload_window();
}

// As the program ends: the session's outcome in the recording, and the exit status.
int Runner::end() {
    if (record_) {
        record_->finish(outcome_word(form_.last_update));
        if (!record_->intact()) {
            char at[32];
            std::snprintf(at, sizeof at, "%.3f s", record_lost_at_);
            form_.error_log.write_line("--record: " + *options_.record +
                                       " is incomplete: writing it failed at " + at);
        }
    }
    return succeeded() ? kExitUpdated : kExitNotUpdated;
}

}  // namespace r462xe::runner
