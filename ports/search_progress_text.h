// What the progress bar says while the port search runs, so that a search of many ports does not
// look like a window that hangs: the port being tried, and where it stands among those to try.
#pragma once

#include <string>

namespace r462xe {

// While each port is opened: "Opening COM5 - 5 of 16 ports".
std::string opening_port_text(int port, int nth, int of);

// While a meter is asked for on each port that opened: "Searching COM3 - 2 of 5 ports".
std::string searching_port_text(int port, int nth, int of);

}  // namespace r462xe
