// The runner's transcript, read back: one change per line, "<seconds> <Control.property> <value>"
// or "<seconds> msgbox <title> <text>".
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace r462xe::e2e {

struct TranscriptLine {
    double seconds = 0;
    std::string subject;  // "Label4.caption" or "msgbox"
    std::string value;    // as printed, quotes and escapes included
};

std::vector<TranscriptLine> parse_transcript(const std::string& text);

// Index of the first line at or after `from` with this subject (and value, when given).
std::optional<std::size_t> find_line(const std::vector<TranscriptLine>& lines,
                                     const std::string& subject,
                                     const std::optional<std::string>& value = std::nullopt,
                                     std::size_t from = 0);

// The value of the last line with this subject, if any.
std::optional<std::string> last_value(const std::vector<TranscriptLine>& lines,
                                      const std::string& subject);

// Every value of this subject, in order.
std::vector<std::string> values_of(const std::vector<TranscriptLine>& lines,
                                   const std::string& subject);

// Indices of these (subject, value) lines in this order, with others allowed between them. Stops
// at the first one missing, so fewer indices than lines means that one is missing.
std::vector<std::size_t> find_in_order(
    const std::vector<TranscriptLine>& lines,
    const std::vector<std::pair<std::string, std::string>>& expected, std::size_t from = 0);

}  // namespace r462xe::e2e
