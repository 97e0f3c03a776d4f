#include "upload/update_history.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "text/path_text.h"

namespace r462xe {

namespace {
constexpr const char* kLineEnd = "\r\n";

// The columns, in their order; history_line writes the fields in the same order.
constexpr std::array kColumns = {
    "Time",          "Program version", "Port",          "Device",        "Model",
    "Serial number", "Version before",  "Version after", "Image",         "Image SHA-256",
    "Outcome",       "Detail",          "Blocks sent",   "Blocks resent", "Duration (s)"};

// The outcome's words in the file.
const char* outcome_text(AttemptOutcome outcome) {
    switch (outcome) {
        case AttemptOutcome::Updated:
            return "updated";
        case AttemptOutcome::PowerCycleAsked:
            return "power cycle asked";
        case AttemptOutcome::Refused:
            return "refused";
        case AttemptOutcome::BrokenOff:
            return "broken off";
    }
    return "";
}

std::string two_digits(int value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%02d", value);
    return text.data();
}

std::string csv_field(std::string field) {
    if (!field.empty() && std::string_view("=+-@").find(field.front()) != std::string_view::npos)
        field.insert(0, 1, '\'');
    const bool quoted = field.find_first_of(",\"\r\n") != std::string::npos ||
                        (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quoted) return field;
    std::string text = "\"";
    for (char c : field) {
        if (c == '"') text += '"';
        text += c;
    }
    return text + "\"";
}

std::string csv_line(const std::vector<std::string>& fields) {
    std::string line;
    for (const auto& field : fields) line += (line.empty() ? "" : ",") + csv_field(field);
    return line + kLineEnd;
}

std::string seconds_text(double seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", seconds < 0 ? 0.0 : seconds);
    return text.data();
}

// The file after a blank, or nothing where the system names no folder for it.
std::string named(const std::filesystem::path& file) {
    if (file.empty()) return "";
    return " " + path_text(file, std::string(kHistoryFolderName) + "/" + kHistoryFileName);
}
}  // namespace

std::string broken_off_detail(const std::string& why) {
    return why + " before the update ended";
}

std::string iso8601_text(const LocalTime& time) {
    const int offset = std::abs(time.utc_offset_minutes);
    return std::to_string(time.year) + "-" + two_digits(time.month) + "-" + two_digits(time.day) +
           "T" + two_digits(time.hour) + ":" + two_digits(time.minute) + ":" +
           two_digits(time.second) + (time.utc_offset_minutes < 0 ? "-" : "+") +
           two_digits(offset / 60) + ":" + two_digits(offset % 60);
}

std::string history_header_line() {
    return csv_line(std::vector<std::string>(kColumns.begin(), kColumns.end()));
}

std::string history_line(const HistoryRecord& record) {
    return csv_line({iso8601_text(record.started), record.program_version,
                     record.port == 0 ? "" : "COM" + std::to_string(record.port), record.device,
                     record.model, record.serial, record.version_before, record.version_after,
                     record.image, record.image_sha256, outcome_text(record.outcome), record.detail,
                     std::to_string(record.blocks_sent), std::to_string(record.blocks_resent),
                     seconds_text(record.duration_seconds)});
}

std::string version_change_details(const std::string& before, const std::string& after) {
    if (before.empty())
        return "Version: " + after + " (before: the meter was in its update mode)\n";
    if (before == after)
        return "Version: " + after + " before and after: " + kVersionUnchanged + ".\n";
    return "Version: " + before + " -> " + after + "\n";
}

std::string history_place_details(const std::filesystem::path& file,
                                  const std::string& why_unwritten) {
    if (!why_unwritten.empty())
        return "This update is not in the update history" + named(file) + ": " + why_unwritten +
               ".\n";
    return "Update history:" + named(file) + "\n";
}

std::string history_unwritten_log_line(const std::filesystem::path& file,
                                       const std::string& why_unwritten) {
    return "update history" + named(file) + " not written (" + why_unwritten +
           "): this update is not in it";
}

std::filesystem::path history_file_in(const std::filesystem::path& state_folder) {
    if (state_folder.empty()) return {};
    return state_folder / kHistoryFolderName / kHistoryFileName;
}

}  // namespace r462xe
