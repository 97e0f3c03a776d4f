// A MeterLink in virtual time for the meter's own tests: a clock that only moves when the test
// runs the queued actions, in time order, and a record of everything the meter transmitted.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/action_queue.h"
#include "sim/meter/meter_link.h"

namespace r462xe::sim::test {

class FakeMeterLink : public MeterLink {
  public:
    struct Sent {
        double at;
        std::string bytes;
        int baud;
    };

    double now() override { return now_; }

    void after(double seconds, std::function<void()> action) override {
        queue_.add(now_ + seconds, std::move(action));
    }

    void send(const std::string& bytes, int baud) override { sent_.push_back({now_, bytes, baud}); }

    void unplug() override { ++unplugs_; }

    // Runs every action due up to `time`, in order; actions may queue more.
    void run_until(double time) {
        while (auto due = queue_.take_due(time)) {
            now_ = due->at;
            due->action();
        }
        if (time > now_) now_ = time;
    }

    void run_for(double seconds) { run_until(now_ + seconds); }

    const std::vector<Sent>& sent() const { return sent_; }
    int unplugs() const { return unplugs_; }

  private:
    double now_ = 0;
    ActionQueue<double> queue_;
    std::vector<Sent> sent_;
    int unplugs_ = 0;
};

}  // namespace r462xe::sim::test
