// A MeterLink in virtual time for the meter's own tests: a clock that only moves when the test
// runs the queued actions, in time order, and a record of everything the meter transmitted.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
        queue_.emplace(Key{now_ + seconds, next_sequence_++}, std::move(action));
    }

    void send(const std::string& bytes, int baud) override { sent_.push_back({now_, bytes, baud}); }

    void unplug() override { ++unplugs_; }

    // Runs every action due up to `time`, in order; actions may queue more.
    void run_until(double time) {
        while (!queue_.empty() && queue_.begin()->first.at <= time) {
            auto due = queue_.extract(queue_.begin());
            now_ = due.key().at;
            due.mapped()();
        }
        if (time > now_) now_ = time;
    }

    void run_for(double seconds) { run_until(now_ + seconds); }

    const std::vector<Sent>& sent() const { return sent_; }
    int unplugs() const { return unplugs_; }

  private:
    struct Key {
        double at;
        std::uint64_t sequence;  // keeps actions due at the same time in the order they came
        bool operator<(const Key& other) const {
            return at != other.at ? at < other.at : sequence < other.sequence;
        }
    };

    double now_ = 0;
    std::uint64_t next_sequence_ = 0;
    std::map<Key, std::function<void()>> queue_;
    std::vector<Sent> sent_;
    int unplugs_ = 0;
};

}  // namespace r462xe::sim::test
