#include "sim/tool/realtime_meter.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include "text/c_quote.h"

namespace r462xe::sim {

namespace {

// How often the tool looks whether the host has closed its port, when nothing else happens.
constexpr double kWatchSeconds = 0.1;
// Texts longer than this are logged by their size alone.
constexpr std::size_t kMaxLoggedText = 80;

std::string quoted(const std::string& bytes) {
    if (bytes.size() > kMaxLoggedText) return std::to_string(bytes.size()) + " bytes of text";
    return c_quote(bytes);
}

std::string bytes_at(std::size_t count, int baud) {
    return std::to_string(count) + (count == 1 ? " byte @" : " bytes @") + std::to_string(baud);
}

}  // namespace

RealtimeMeter::RealtimeMeter(HostLine& line, const ToolOptions& options,
                             std::optional<std::string> image, std::optional<Recording> replay)
    : line_(line),
      image_(std::move(image)),
      pacing_(options.pacing && !line.paces_itself()),
      meter_(*this, options.identity, options.faults) {
    meter_.set_observer([this](const MeterEvent& event) { on_event(event); });
    if (replay) {
        replay_ = std::make_unique<ReplayMeter>(*this, std::move(*replay));
        // Said on standard output too, where a test or the user reads the tool's results.
        replay_->on_divergence([this](const Divergence& divergence) {
            log("replay diverged: " + divergence.describe());
            std::printf("replay diverged: %s\n", divergence.describe().c_str());
            std::fflush(stdout);
        });
        log("playing a recording");
    }
    line_.meter_baud_changed(meter_.baud());
    log(std::string("meter ") + (meter_.in_update_mode() ? "in update mode" : "in normal mode") +
        " at " + std::to_string(meter_.baud()) + " baud on " + line_.path() +
        (pacing_ ? "" : ", no pacing"));
}

double RealtimeMeter::now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void RealtimeMeter::after(double seconds, std::function<void()> action) {
    actions_.add(now() + seconds, std::move(action));
}

void RealtimeMeter::send(const std::string& bytes, int baud) {
    log("meter->host " + bytes_at(bytes.size(), baud) + ": " +
        (meter_.in_update_mode() ? quoted(masked(bytes)) + " (masked)" : quoted(bytes)));
    const double sent_at = now();
    for (char c : bytes) {
        LineByte out{sent_at, static_cast<std::uint8_t>(c), baud};
        if (!pacing_) {
            transmit(out);
            continue;
        }
        out.at = std::max(outgoing_free_at_, sent_at) + byte_seconds(baud);
        outgoing_free_at_ = out.at;
        outgoing_.push_back(out);
    }
    if (!pacing_) log_lost();
}

void RealtimeMeter::unplug() {
    unplugged_ = true;
    line_.close();
    log("cable pulled: " + line_.path() + " closed");
}

int RealtimeMeter::run(int signal_fd, int power_cycle_signal) {
    for (;;) {
        run_due();
        if (unplugged_) return 0;

        const double wait = next_due() - now();
        const int timeout_ms =
            wait <= 0 ? 0 : static_cast<int>(std::min(std::ceil(wait * 1000), 60'000.0));
        pollfd fds[] = {{line_.fd(), POLLIN, 0}, {signal_fd, POLLIN, 0}};
        if (poll(fds, 2, timeout_ms) < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signal_fd, &info, sizeof info) == sizeof info) {
                const int signal = static_cast<int>(info.ssi_signo);
                if (signal == power_cycle_signal) {
                    meter_.power_cycle();
                } else {
                    log(std::string("ending on SIG") + sigabbrev_np(signal));
                    return 0;
                }
            }
        }
        if (fds[0].revents & POLLIN) {
            read_host();
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            log("line " + line_.path() + " gone");
            return 1;
        }
    }
}

void RealtimeMeter::read_host() {
    char buffer[4096];
    const ssize_t count = read(line_.fd(), buffer, sizeof buffer);
    if (count < 0) {
        if (errno == EAGAIN || errno == EINTR) return;
        throw std::system_error(errno, std::generic_category(), "read " + line_.path());
    }
    // The host set its speed before writing these; read it now, while they are fresh.
    const int host_baud = line_.host_baud();
    if (!line_.paces_itself() && host_baud != last_host_baud_) watch_host();
    const double arrived = now();
    for (ssize_t i = 0; i < count; ++i) {
        LineByte in{arrived, static_cast<std::uint8_t>(buffer[i]), host_baud};
        if (pacing_ && host_baud > 0) {
            in.at = std::max(incoming_free_at_, arrived) + byte_seconds(host_baud);
            incoming_free_at_ = in.at;
        }
        incoming_.push_back(in);
    }
}

double RealtimeMeter::next_due() const {
    double due = line_.paces_itself() ? std::numeric_limits<double>::infinity() : next_watch_at_;
    if (const auto action_at = actions_.next_time()) due = std::min(due, *action_at);
    if (!incoming_.empty()) due = std::min(due, incoming_.front().at);
    if (!outgoing_.empty()) due = std::min(due, outgoing_.front().at);
    return due;
}

// Whatever is due, in time order across the three queues.
void RealtimeMeter::run_due() {
    for (;;) {
        if (unplugged_) return;
        const double time = now();
        const double action_at =
            actions_.next_time().value_or(std::numeric_limits<double>::infinity());
        const double in_at =
            incoming_.empty() ? std::numeric_limits<double>::infinity() : incoming_.front().at;
        const double out_at =
            outgoing_.empty() ? std::numeric_limits<double>::infinity() : outgoing_.front().at;
        const double first = std::min({action_at, in_at, out_at});
        if (first > time) break;
        if (first == in_at) {
            const LineByte in = incoming_.front();
            incoming_.pop_front();
            deliver(in);
            if (incoming_.empty()) log_unheard();
        } else if (first == out_at) {
            const LineByte out = outgoing_.front();
            outgoing_.pop_front();
            transmit(out);
            if (outgoing_.empty()) log_lost();
        } else {
            actions_.take_due(time)->action();
        }
    }
    if (!line_.paces_itself() && now() >= next_watch_at_) watch_host();
}

void RealtimeMeter::deliver(const LineByte& in) {
    if (replay_) {
        replay_->receive(in.byte, in.baud);
        if (replay_->finished() && !replay_said_finished_) {
            replay_said_finished_ = true;
            log("replay: the host sent all the recording holds");
        }
        return;
    }
    const Reception reception = meter_.receive(in.byte, in.baud);
    if (reception == Reception::heard) {
        log_unheard();
        return;
    }
    if (unheard_ > 0 && (reception != unheard_why_ || in.baud != unheard_baud_)) log_unheard();
    ++unheard_;
    unheard_why_ = reception;
    unheard_baud_ = in.baud;
}

void RealtimeMeter::transmit(const LineByte& out) {
    if (unplugged_) return;
    const int host_baud = line_.host_baud();
    if (host_baud != out.baud) {
        // Nobody listens at this speed: the byte is lost, and must not wait for the next opener.
        if (host_baud == kNoHostBaud) line_.drop_unread();
        ++lost_;
        lost_host_baud_ = host_baud;
        return;
    }
    if (write(line_.fd(), &out.byte, 1) != 1) {
        ++lost_;
        lost_host_baud_ = host_baud;
    }
}

void RealtimeMeter::watch_host() {
    next_watch_at_ = now() + kWatchSeconds;
    const int host_baud = line_.host_baud();
    if (host_baud == last_host_baud_) return;
    if (host_baud == kNoHostBaud) {
        line_.drop_unread();
        log("host closed " + line_.path());
    } else if (last_host_baud_ == kNoHostBaud) {
        log("host opened " + line_.path() + " at " + std::to_string(host_baud) + " baud");
    } else {
        log("host changed speed to " + std::to_string(host_baud) + " baud");
    }
    last_host_baud_ = host_baud;
}

void RealtimeMeter::log_unheard() {
    if (unheard_ == 0) return;
    log("host->meter " + bytes_at(unheard_, unheard_baud_) +
        (unheard_why_ == Reception::deaf
             ? " unheard: meter restarting"
             : " garbled: meter at " + std::to_string(meter_.baud()) + " baud"));
    unheard_ = 0;
}

void RealtimeMeter::log_lost() {
    if (lost_ == 0) return;
    log("meter->host " + std::to_string(lost_) + " bytes lost: " +
        (lost_host_baud_ == kNoHostBaud ? std::string("host port closed")
                                        : "host at " + std::to_string(lost_host_baud_) + " baud"));
    lost_ = 0;
}

void RealtimeMeter::on_event(const MeterEvent& event) {
    using Kind = MeterEvent::Kind;
    const std::string request = "host->meter " + bytes_at(event.text.size(), event.baud) + ": ";
    switch (event.kind) {
        case Kind::line:
            log(request + quoted(event.text));
            break;
        case Kind::command:
            log(request + quoted(event.text) + " (masked): " + event.summary);
            break;
        case Kind::block:
            log(request + event.summary);
            break;
        case Kind::partial_dropped:
            log("meter dropped a partial frame of " + bytes_at(event.text.size(), event.baud) +
                " (" + event.summary + ")");
            break;
        case Kind::restart_begun:
            log("meter " + event.summary);
            line_.meter_baud_changed(meter_.baud());
            break;
        case Kind::power_cycled:
            log("power cycled: " + event.summary);
            line_.meter_baud_changed(meter_.baud());
            break;
        case Kind::unplugged:
            break;
        case Kind::restart_done:
            log("meter restarted: " + event.summary);
            if (image_ && event.reason == RestartReason::leave_update) {
                std::printf("%s\n", meter_.flash_equals(*image_) ? "flash matches image"
                                                                 : "flash differs from image");
                std::fflush(stdout);
            }
            break;
    }
}

void RealtimeMeter::log(const std::string& text) const {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "%.3f %s\n", seconds, text.c_str());
}

}  // namespace r462xe::sim
