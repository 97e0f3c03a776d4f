#include "sim/scheduler.h"

#include <algorithm>

namespace r462xe::sim {

void Scheduler::at(Micros when, std::function<void()> action) {
    events_.emplace(std::make_pair(std::max(when, now_), sequence_++), std::move(action));
}

bool Scheduler::run_due() {
    bool ran = false;
    while (!events_.empty() && events_.begin()->first.first <= now_) {
        auto action = std::move(events_.begin()->second);
        events_.erase(events_.begin());
        ran = true;
        action();
    }
    return ran;
}

void Scheduler::advance_towards(Micros limit) {
    Micros target = limit;
    if (const auto next = next_event()) target = std::min(target, *next);
    now_ = std::max(now_, target);
}

std::optional<Micros> Scheduler::next_event() const {
    if (events_.empty()) return std::nullopt;
    return events_.begin()->first.first;
}

}  // namespace r462xe::sim
