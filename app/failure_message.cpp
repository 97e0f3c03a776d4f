// A failure message keeps its own text, title and icon; its details say what happened and what
// to do. A user who started the program from a terminal reads them there as well, on one line.
#include "app/form1.h"

namespace r462xe {

namespace {
// The details' lines, joined for a one-line log.
std::string one_line(const std::string& details) {
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
}  // namespace

void Form1::show_failure(const std::string& text, const std::string& title, MsgIcon icon,
                         const std::string& details) {
    if (!details.empty()) error_log.write_line(title + ": " + one_line(details));
    messages.show(text, title, icon, details);
}

}  // namespace r462xe
