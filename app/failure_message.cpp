// A failure message keeps its own text, title and icon; its details say what happened and what
// to do. A user who started the program from a terminal reads them there as well, on one line.
#include "app/form1.h"
#include "text/one_line.h"

namespace r462xe {

void Form1::show_failure(const std::string& text, const std::string& title, MsgIcon icon,
                         const std::string& details) {
    if (!details.empty()) error_log.write_line(title + ": " + details_one_line(details));
    messages.show(text, title, icon, details);
}

}  // namespace r462xe
