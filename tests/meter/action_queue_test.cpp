// The queue of timed actions that every simulated clock runs on (the meter's delayed replies and
// restarts among them): time order, and the order of queueing among actions due at one time.
#include "sim/action_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace r462xe::sim {
namespace {

// Runs every action due up to `limit`, as the clocks do.
template <class Time>
void run_until(ActionQueue<Time>& queue, Time limit) {
    while (auto due = queue.take_due(limit)) due->action();
}

TEST(ActionQueue, RunsInTimeOrderAndSameTimeActionsInTheOrderQueued) {
    ActionQueue<std::int64_t> queue;
    std::string trace;
    queue.add(30, [&] { trace += "c"; });
    queue.add(10, [&] { trace += "a1"; });
    queue.add(20, [&] { trace += "b"; });
    queue.add(10, [&] { trace += "a2"; });
    queue.add(10, [&] { trace += "a3"; });
    run_until<std::int64_t>(queue, 30);
    EXPECT_EQ(trace, "a1a2a3bc");
    EXPECT_TRUE(queue.empty());
}

TEST(ActionQueue, TakesOnlyWhatIsDueAndTellsWhenTheNextIs) {
    ActionQueue<double> queue;
    EXPECT_FALSE(queue.next_time());
    EXPECT_FALSE(queue.take_due(1e9));
    queue.add(2.5, [] {});
    queue.add(1.25, [] {});
    EXPECT_EQ(queue.next_time(), 1.25);
    EXPECT_FALSE(queue.take_due(1.0));
    const auto due = queue.take_due(1.25);
    ASSERT_TRUE(due);
    EXPECT_EQ(due->at, 1.25);
    EXPECT_EQ(queue.next_time(), 2.5);
}

// An action may queue more: one due at its own time runs after those already queued for that
// time, one due within the limit still runs in this pass, a later one waits.
TEST(ActionQueue, ActionsQueuedWhileRunningKeepTheOrder) {
    ActionQueue<std::int64_t> queue;
    std::string trace;
    queue.add(10, [&] {
        trace += "a";
        queue.add(10, [&] { trace += "d"; });
        queue.add(15, [&] { trace += "e"; });
        queue.add(40, [&] { trace += "f"; });
    });
    queue.add(10, [&] { trace += "b"; });
    queue.add(12, [&] { trace += "c"; });
    run_until<std::int64_t>(queue, 20);
    EXPECT_EQ(trace, "abdce");
    EXPECT_EQ(queue.next_time(), 40);
}

}  // namespace
}  // namespace r462xe::sim
