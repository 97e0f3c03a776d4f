// A system without the signals that ask a program to end: the window's close is its only end.
#include "system/end_signals.h"

namespace r462xe {

std::optional<int> watch_end_signals() {
    return std::nullopt;
}

std::optional<int> caught_end_signal(int) {
    return std::nullopt;
}

std::string end_signal_name(int signal) {
    return std::to_string(signal);
}

}  // namespace r462xe
