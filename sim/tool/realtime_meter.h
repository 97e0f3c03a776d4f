// The virtual meter in real time: the world it lives in when the updater talks to it over a
// pseudo-terminal or a serial device. One thread, one poll() loop, no busy waiting.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sim/action_queue.h"
#include "sim/meter/meter.h"
#include "sim/recording/replay_meter.h"
#include "sim/tool/host_line.h"
#include "sim/tool/options.h"

namespace r462xe::sim {

class RealtimeMeter final : public MeterLink {
  public:
    // `image`: the file the flash is compared with after each UPGR 0, if any. With `replay`, the
    // recording's meter answers instead of the virtual meter.
    RealtimeMeter(HostLine& line, const ToolOptions& options, std::optional<std::string> image,
                  std::optional<Recording> replay = std::nullopt);

    // Runs until `signal_fd` (a signalfd) reports SIGTERM or SIGINT, or the cable is pulled.
    // Returns the exit status.
    int run(int signal_fd, int power_cycle_signal);

    double now() override;
    void after(double seconds, std::function<void()> action) override;
    void send(const std::string& bytes, int baud) override;
    void unplug() override;

  private:
    // One byte on its way across the line, due at `at`.
    struct LineByte {
        double at;
        std::uint8_t byte;
        int baud;
    };

    void read_host();
    void run_due();
    double next_due() const;
    void deliver(const LineByte& in);
    void transmit(const LineByte& out);
    void watch_host();
    void log_unheard();
    void log_lost();
    void on_event(const MeterEvent& event);
    void log(const std::string& text) const;

    HostLine& line_;
    std::optional<std::string> image_;
    bool pacing_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();

    ActionQueue<double> actions_;
    std::deque<LineByte> incoming_;  // from the host, paced at the host's speed
    std::deque<LineByte> outgoing_;  // from the meter, paced at the meter's speed
    double incoming_free_at_ = 0;
    double outgoing_free_at_ = 0;
    double next_watch_at_ = 0;
    int last_host_baud_ = kNoHostBaud;
    bool unplugged_ = false;

    // Counted and logged as one line per run, not per byte.
    int unheard_ = 0;
    int unheard_baud_ = 0;
    Reception unheard_why_ = Reception::heard;
    int lost_ = 0;
    int lost_host_baud_ = 0;

    Meter meter_;  // its delayed actions use the members above
    std::unique_ptr<ReplayMeter> replay_;
    bool replay_said_finished_ = false;
};

}  // namespace r462xe::sim
