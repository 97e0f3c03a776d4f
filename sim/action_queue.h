// Actions due at given times, taken in time order; actions due at the same time keep the order in
// which they were queued. The one queue under every simulated clock: the virtual-time world counts
// in whole microseconds, the meter's own tests and the real-time tool in seconds.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace r462xe::sim {

template <class Time>
class ActionQueue {
  public:
    struct Due {
        Time at;
        std::function<void()> action;
    };

    void add(Time at, std::function<void()> action) {
        actions_.emplace(std::make_pair(at, next_sequence_++), std::move(action));
    }

    bool empty() const { return actions_.empty(); }

    std::optional<Time> next_time() const {
        if (actions_.empty()) return std::nullopt;
        return actions_.begin()->first.first;
    }

    // Removes and hands back the first action, if it is due at or before `limit`. The caller
    // runs it, and may queue more meanwhile.
    std::optional<Due> take_due(Time limit) {
        if (actions_.empty() || actions_.begin()->first.first > limit) return std::nullopt;
        auto first = actions_.extract(actions_.begin());
        return Due{first.key().first, std::move(first.mapped())};
    }

  private:
    std::uint64_t next_sequence_ = 0;
    std::map<std::pair<Time, std::uint64_t>, std::function<void()>> actions_;
};

}  // namespace r462xe::sim
