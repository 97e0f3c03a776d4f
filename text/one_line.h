// Many lines of a message's details as one line, for a log or a file that keeps one per entry.
#pragma once

#include <string>

namespace r462xe {

// The lines joined with " | " between them; empty lines are left out.
inline std::string details_one_line(const std::string& details) {
    std::string line;
    std::size_t start = 0;
    while (start < details.size()) {
        std::size_t end = details.find('\n', start);
        if (end == std::string::npos) end = details.size();
        if (end > start) line += (line.empty() ? "" : " | ") + details.substr(start, end - start);
        start = end + 1;
    }
    return line;
}

}  // namespace r462xe
