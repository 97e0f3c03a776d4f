// The meter of a recording, played back: it takes each byte the host sends as it crosses the line,
// checks it against the recording (same bytes, same line speed, in order, in time), and answers
// with the recorded meter bytes after the recorded delays. At the first divergence it says exactly
// where and stops answering, so that the updater meets a silent meter, as it would in the field.
//
// A recording may hold several ports (the search probes every port the system has): the replay
// plays the port on which the meter answered, and leaves out what went to the others.
//
// Timing: each host chunk must begin within kReplayTolerance of its recorded distance from the
// host chunk before it: 0.5 s plus 5 % of that distance. The updater's own pace is fixed by its
// waits and its 100 ms timer, so a replay of the same program stays well inside; a host that waits
// for something else, or skips a wait, does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recording/recording.h"
#include "sim/meter/meter_link.h"

namespace r462xe::sim {

struct ReplayTolerance {
    double seconds = 0.5;
    double share = 0.05;
};

// Where the host left the recording.
struct Divergence {
    int line = 0;               // the recording's line with the expected chunk (0: after its end)
    std::size_t offset = 0;     // byte offset in that chunk
    std::string expected = {};  // the chunk's bytes from that offset on (empty: nothing expected)
    std::string received = {};  // the host's byte
    int expected_baud = 0;
    int received_baud = 0;
    std::string why = {};

    // One line for a person: where, what was expected, what came.
    std::string describe() const;
};

class ReplayMeter {
  public:
    ReplayMeter(MeterLink& link, Recording recording, ReplayTolerance tolerance = {});
    ReplayMeter(const ReplayMeter&) = delete;
    ReplayMeter& operator=(const ReplayMeter&) = delete;

    // One host byte has fully crossed the line, sent at `baud`. False once the replay has
    // diverged: the byte goes unheard.
    bool receive(std::uint8_t byte, int baud);

    const std::optional<Divergence>& divergence() const { return divergence_; }
    // Every recorded host byte came, and every recorded meter byte went.
    bool finished() const;
    // Told once, at the divergence.
    void on_divergence(std::function<void(const Divergence&)> observer) {
        on_divergence_ = std::move(observer);
    }

  private:
    void diverge(Divergence divergence);
    void play_meter_chunks_after(std::size_t host_chunk);
    std::size_t next_host_chunk(std::size_t from) const;

    MeterLink& link_;
    Recording recording_;
    ReplayTolerance tolerance_;
    std::optional<Divergence> divergence_;
    std::function<void(const Divergence&)> on_divergence_;

    // Per chunk, for host chunks: when its last byte left the line in the recording, and how long
    // the line lay idle before its first byte (writes made while the line is busy queue up).
    std::vector<double> recorded_end_;
    std::vector<double> recorded_idle_;
    std::size_t host_chunk_;       // the host chunk now expected; chunks.size() past the end
    std::size_t host_offset_ = 0;  // bytes of it already come
    bool any_host_byte_ = false;
    double last_host_byte_at_ = 0;  // when the host's last byte came
    std::size_t meter_chunks_sent_ = 0;
    std::size_t meter_chunks_total_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace r462xe::sim
