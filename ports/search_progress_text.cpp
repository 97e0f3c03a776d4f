#include "ports/search_progress_text.h"

namespace r462xe {

namespace {
std::string progress(const char* doing, int port, int nth, int of) {
    return std::string(doing) + " COM" + std::to_string(port) + " - " + std::to_string(nth) +
           " of " + std::to_string(of) + (of == 1 ? " port" : " ports");
}
}  // namespace

std::string opening_port_text(int port, int nth, int of) {
    return progress("Opening", port, nth, of);
}

std::string searching_port_text(int port, int nth, int of) {
    return progress("Searching", port, nth, of);
}

}  // namespace r462xe
