// The update history: one record for every press of "Upload Firmware", whatever its end, kept in
// a CSV file in the user's state folder, so that a technician can show later which meter got
// which firmware, when, and whether it took.
#pragma once

#include <filesystem>
#include <string>

namespace r462xe {

// The history's file, in the program's folder of the user's state folder.
inline constexpr const char* kHistoryFolderName = "r462xe-fwupdate";
inline constexpr const char* kHistoryFileName = "history.csv";

// The wall clock as the user's time zone shows it, with that zone's offset from UTC.
struct LocalTime {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int utc_offset_minutes = 0;  // east of UTC positive
};

// How an attempt ended, as the window told the user.
enum class AttemptOutcome {
    Updated,          // the success message: the meter came back from its update
    PowerCycleAsked,  // the power-cycle message: the update failed somewhere
    Refused,          // the press found no meter to update and started nothing
    BrokenOff,        // the program was ended (a signal) before the attempt's message
};

struct HistoryRecord {
    LocalTime started{};          // the press
    std::string program_version;  // of this program
    int port = 0;                 // the COM number the update used; 0: none
    std::string device;           // the system's device of that port
    std::string model;            // the meter's, as it identified itself
    std::string serial;
    std::string version_before;  // empty: not known (the meter answered from its update mode)
    std::string version_after;   // empty: the meter did not identify itself after the update
    std::string image;           // the image file's name
    std::string image_sha256;    // of the file's bytes, lower-case hexadecimal
    AttemptOutcome outcome = AttemptOutcome::Refused;
    std::string detail;     // the details of the message, one line; empty for a plain success
    int blocks_sent = 0;    // blocks sent, each resend counted
    int blocks_resent = 0;  // blocks the meter rejected and got again
    double duration_seconds = 0;
};

// The detail of an attempt broken off by the program's end; `why` says what ended it.
std::string broken_off_detail(const std::string& why);

// "2026-12-11T09:41:07+01:00": ISO 8601, the local time with its offset.
std::string iso8601_text(const LocalTime& time);

// The file's first line, and one record, each ending in CR LF. Fields with a comma, a quote, a
// line end or blanks at an end are quoted; a field that a spreadsheet would take for a formula
// (it starts with =, +, - or @) gets an apostrophe first, so that it stays text.
std::string history_header_line();
std::string history_line(const HistoryRecord& record);

// What the record of a success says when the meter kept the version it had.
inline constexpr const char* kVersionUnchanged = "the version did not change";

// What a success message's details say of the versions: "V3.05 -> V3.07"; and a line of its own
// when the meter kept the version it had.
std::string version_change_details(const std::string& before, const std::string& after);

// The details' line that says where the history is kept; or, when `why_unwritten` is not empty,
// that this attempt is not in it and why.
std::string history_place_details(const std::filesystem::path& file,
                                  const std::string& why_unwritten);

// The line on standard error when the record could not be written.
std::string history_unwritten_log_line(const std::filesystem::path& file,
                                       const std::string& why_unwritten);

// The history's file in the user's state folder; empty when the system names no such folder.
std::filesystem::path history_file_in(const std::filesystem::path& state_folder);

}  // namespace r462xe
