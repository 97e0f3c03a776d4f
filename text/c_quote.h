// Quoting texts with C escapes, for transcripts and test messages.
#pragma once

#include <string>

namespace r462xe {

// "text" with \r, \n, \t, \\, \" and \xNN for other bytes outside printable ASCII.
std::string c_quote(const std::string& text);

}  // namespace r462xe
