#include "e2e/transcript.h"

#include <sstream>
#include <stdexcept>

namespace r462xe::e2e {

std::vector<TranscriptLine> parse_transcript(const std::string& text) {
    std::vector<TranscriptLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find(' ');
        const auto second = line.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            throw std::runtime_error("not a transcript line: " + line);
        lines.push_back({std::stod(line.substr(0, first)),
                         line.substr(first + 1, second - first - 1), line.substr(second + 1)});
    }
    return lines;
}

std::optional<std::size_t> find_line(const std::vector<TranscriptLine>& lines,
                                     const std::string& subject,
                                     const std::optional<std::string>& value, std::size_t from) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].subject == subject && (!value || lines[i].value == *value)) return i;
    return std::nullopt;
}

std::optional<std::string> last_value(const std::vector<TranscriptLine>& lines,
                                      const std::string& subject) {
    std::optional<std::string> value;
    for (const auto& line : lines)
        if (line.subject == subject) value = line.value;
    return value;
}

std::vector<std::string> values_of(const std::vector<TranscriptLine>& lines,
                                   const std::string& subject) {
    std::vector<std::string> values;
    for (const auto& line : lines)
        if (line.subject == subject) values.push_back(line.value);
    return values;
}

std::vector<std::size_t> find_in_order(
    const std::vector<TranscriptLine>& lines,
    const std::vector<std::pair<std::string, std::string>>& expected, std::size_t from) {
    std::vector<std::size_t> found;
    for (const auto& [subject, value] : expected) {
        const auto at = find_line(lines, subject, value, from);
        if (!at) break;
        found.push_back(*at);
        from = *at + 1;
    }
    return found;
}

}  // namespace r462xe::e2e
