#include "sim/sim_runner_front_end.h"

namespace r462xe::sim {

int SimRunnerFrontEnd::run_events() {
    world_.events.run_until(world_.now() + run_limit);
    return kStillRunning;
}

void SimRunnerFrontEnd::observe_boxes(runner::BoxObserver observer) {
    world_.messages.on_show =
        [observer = std::move(observer),
         action = std::move(world_.messages.on_show)](const ShownMessage& message) {
            observer(message.text, message.title, message.details);
            if (action) action(message);
        };
}

void SimRunnerFrontEnd::start_ticks(double seconds, std::function<void()> tick) {
    tick_ = std::move(tick);
    tick_seconds_ = seconds;
    ++tick_generation_;
    schedule_tick();
}

void SimRunnerFrontEnd::stop_ticks() {
    ++tick_generation_;
}

// The next tick comes `tick_seconds_` after this one has returned.
void SimRunnerFrontEnd::schedule_tick() {
    world_.scheduler.after(tick_seconds_, [this, generation = tick_generation_] {
        if (generation != tick_generation_) return;
        tick_();
        if (generation == tick_generation_) schedule_tick();
    });
}

std::optional<std::string> SimRunnerFrontEnd::sha256_of(const std::filesystem::path& file) {
    ++digests_asked;
    if (!sha256) return std::nullopt;
    return sha256(file);
}

}  // namespace r462xe::sim
