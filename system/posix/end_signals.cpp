#include "system/end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace r462xe {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

int pipe_ends[2] = {-1, -1};

// Only what is safe in a signal handler: one write of one byte, errno kept for the code it
// interrupted. A full pipe already holds a signal to end on.
void on_end_signal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(pipe_ends[1], &number, 1);
    errno = saved;
}

}  // namespace

std::optional<int> watch_end_signals() {
    if (pipe_ends[0] >= 0) return pipe_ends[0];
    // pipe and fcntl, not pipe2, which macOS lacks. Non-blocking both ways: the handler never
    // waits, and a read finds nothing rather than waiting.
    if (::pipe(pipe_ends) != 0) return std::nullopt;
    for (const int end : pipe_ends) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = on_end_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kEndSignals) ::sigaction(signal, &action, nullptr);
    return pipe_ends[0];
}

std::optional<int> caught_end_signal(int watched) {
    unsigned char number = 0;
    if (::read(watched, &number, 1) != 1) return std::nullopt;
    return number;
}

std::string end_signal_name(int signal) {
    const char* name = ::strsignal(signal);
    return std::to_string(signal) + " (" + (name != nullptr ? name : "unknown") + ")";
}

}  // namespace r462xe
