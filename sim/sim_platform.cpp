#include "sim/sim_platform.h"

#include <cmath>
#include <stdexcept>

namespace r462xe::sim {

namespace {

// Counts one level up while it lives, also when a handler below ends the program.
class Nesting {
  public:
    explicit Nesting(int& level) : level_(level) { ++level_; }
    ~Nesting() { --level_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

  private:
    int& level_;
};

}  // namespace

void SimEventLoop::do_events() {
    const Nesting nesting(dispatch_depth_);
    scheduler_.run_due();
}

void SimEventLoop::wait_for_events(double deadline) {
    const Nesting nesting(dispatch_depth_);
    dispatch(deadline);
}

void SimEventLoop::dispatch(double deadline) {
    if (scheduler_.run_due()) return;
    // Nothing pending: time moves to the next event, or to the first microsecond whose reading
    // lies past the deadline.
    auto past_deadline = static_cast<Micros>(std::floor(deadline * 1e6));
    while (static_cast<double>(past_deadline) / 1e6 <= deadline) ++past_deadline;
    scheduler_.advance_towards(past_deadline);
    scheduler_.run_due();
}

void SimEventLoop::run_until(double seconds) {
    while (now() < seconds) dispatch(seconds);
}

void SimTimer::set_enabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    ++generation_;
    if (enabled) schedule_tick();
}

void SimTimer::schedule_tick() {
    const unsigned generation = generation_;
    scheduler_.after(kTimer1IntervalSeconds, [this, generation] {
        if (!enabled_ || generation != generation_) return;
        ++ticks_;
        if (on_tick_) on_tick_();
        if (enabled_ && generation == generation_) schedule_tick();
    });
}

void SimMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                           const std::string& details) {
    const Nesting on_screen(showing_);
    shown.push_back({events_.now(), text, title, icon, details});
    const ShownMessage message = shown.back();
    if (on_show) on_show(message);
    // The box's own loop, as a modal box runs one: not a dispatch of the window's procedures.
    events_.run_until(events_.now() + answer_after);
}

void SimWindowSystem::show_window() {
    if (refuse_show) throw std::runtime_error("the window cannot be shown");
    shown = true;
}

void SimWindowSystem::unload_window() {
    if (on_close_request && on_close_request()) ++close_refusals;
}

void SimWindowSystem::end_program(int status) {
    ended = true;
    ended_with = exit_status ? exit_status() : status;
    throw ProgramEnded{};
}

void SimSleepInhibitor::hold(const std::string& why) {
    calls.push_back({events_.now(), true, why});
}

void SimSleepInhibitor::release() {
    calls.push_back({events_.now(), false, {}});
}

std::string SimUpdateHistory::append(const std::string& header, const std::string& record) {
    if (!refusal.empty()) return refusal;
    if (text.empty()) text = header;
    text += record;
    records.push_back(record.substr(0, record.find_last_not_of("\r\n") + 1));
    return "";
}

std::string SimUpdateHistory::sha256(const std::string& bytes) {
    hashed.push_back(bytes);
    return digest;
}

}  // namespace r462xe::sim
