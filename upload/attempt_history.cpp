// Every press of "Upload Firmware" becomes one record of the update history: opened at the press,
// filled as the update goes, written when its message is about to show, so that the message can
// say where the history is kept or why this attempt is not in it. A history that cannot be
// written never stops or fails an update.
#include "app/form1.h"
#include "app/program_version.h"
#include "image/image_reader.h"
#include "text/one_line.h"
#include "text/path_text.h"
#include "upload/update_history.h"

namespace r462xe {

void Form1::begin_attempt() {
    attempt_ = {};
    attempt_.open = true;
    attempt_.started_at = events.now();
    attempt_.record.started = history.local_time();
    attempt_.record.program_version = kProgramVersion;
    attempt_.record.image = path_text(fw_path.filename(), kImageFileName);
    attempt_.record.image_sha256 = image_sha256_;
}

void Form1::note_attempt_start() {
    HistoryRecord& record = attempt_.record;
    record.port = MSComm1.CommPort();
    record.device = MSComm1.device_of(record.port);
    record.model = idn_model;
    record.serial = idn_serial;
    // A meter in its update mode runs no firmware: the version the window still shows from
    // before a failed update is not the meter's now.
    record.version_before = update_mode ? "" : idn_version;
}

void Form1::break_off_attempt(const std::string& why) {
    end_attempt(AttemptOutcome::BrokenOff, broken_off_detail(why));
}

std::string Form1::end_attempt(AttemptOutcome outcome, const std::string& details) {
    if (!attempt_.open) return "";
    attempt_.open = false;
    HistoryRecord& record = attempt_.record;
    if (record.port == 0) {
        record.port = MSComm1.CommPort();
        record.device = MSComm1.device_of(record.port);
    }
    if (outcome == AttemptOutcome::Updated) {
        // Who the meter is, as it said after the update: a meter that was in its update mode at
        // the press says it only now.
        record.model = idn_model;
        record.serial = idn_serial;
        record.version_after = idn_version;
    }
    record.outcome = outcome;
    record.detail = details_one_line(details);
    record.duration_seconds = events.now() - attempt_.started_at;
    const std::filesystem::path file = history.file();
    std::string why_unwritten;
    try {
        why_unwritten = history.append(history_header_line(), history_line(record));
    } catch (const std::exception& error) {
        why_unwritten = error.what();
    }
    // A failure message's details reach the error log with their line about the history; a
    // success's and a broken-off attempt's do not, so the log gets a line of its own.
    const bool details_logged =
        outcome == AttemptOutcome::PowerCycleAsked || outcome == AttemptOutcome::Refused;
    if (!why_unwritten.empty() && !details_logged)
        error_log.write_line(history_unwritten_log_line(file, why_unwritten));
    // A failure's details speak of the history only when this attempt is missing from it.
    if (outcome != AttemptOutcome::Updated && why_unwritten.empty()) return "";
    return history_place_details(file, why_unwritten);
}

}  // namespace r462xe
