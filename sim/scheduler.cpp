#include "sim/scheduler.h"

#include <algorithm>

namespace r462xe::sim {

void Scheduler::at(Micros when, std::function<void()> action) {
    events_.add(std::max(when, now_), std::move(action));
}

bool Scheduler::run_due() {
    bool ran = false;
    while (auto due = events_.take_due(now_)) {
        ran = true;
        due->action();
    }
    return ran;
}

void Scheduler::advance_towards(Micros limit) {
    Micros target = limit;
    if (const auto next = next_event()) target = std::min(target, *next);
    now_ = std::max(now_, target);
}

std::optional<Micros> Scheduler::next_event() const {
    return events_.next_time();
}

}  // namespace r462xe::sim
