// The signals that ask a program to end (a terminal's Ctrl+C, its hang-up, a session's logout, a
// plain `kill`), turned into something an event loop can watch: the program then lets go of its
// ports and lock files before it ends, as it does when the window closes.
#pragma once

#include <optional>
#include <string>

namespace r462xe {

// Catches those signals from now on; each one caught is written to a pipe. Returns the pipe's
// reading end to watch for reading, or none where the system has no such signals.
std::optional<int> watch_end_signals();

// Reads the signal waiting on the watched end; none when nothing is waiting.
std::optional<int> caught_end_signal(int watched);

// The signal as a user reads it, for example "15 (Terminated)".
std::string end_signal_name(int signal);

}  // namespace r462xe
