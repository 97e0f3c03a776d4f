// Virtual time: a clock in microseconds that moves only when the world dispatches, and the events
// due at given times (timer ticks, bytes crossing the line, port events, the meter's actions).
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "sim/action_queue.h"

namespace r462xe::sim {

using Micros = std::int64_t;

inline Micros to_micros(double seconds) {
    return std::llround(seconds * 1e6);
}

class Scheduler {
  public:
    Micros now() const { return now_; }
    double now_seconds() const { return static_cast<double>(now_) / 1e6; }
    void at(Micros when, std::function<void()> action);
    void after(double seconds, std::function<void()> action) {
        at(now_ + to_micros(seconds), std::move(action));
    }
    // Runs every event that is due now, in time order (also those that become due meanwhile).
    // Returns whether any ran.
    bool run_due();
    // Moves the clock to the next event's time or to `limit`, whichever comes first (never back).
    void advance_towards(Micros limit);
    std::optional<Micros> next_event() const;

  private:
    Micros now_ = 0;
    ActionQueue<Micros> events_;
};

}  // namespace r462xe::sim
