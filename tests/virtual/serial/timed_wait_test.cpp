// The timed wait and the port event handler.
#include <gtest/gtest.h>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

TEST(WaitSeconds, EndsAtTheFirstClockReadingAfterTheEndTime) {
    for (double seconds : {0.0, 0.1, 0.2, 1.0, 9.0, 10.0}) {
        testing::WindowRig rig;
        const double start = rig.world.now();
        rig.form.wait_seconds(seconds);
        const double waited = rig.world.now() - start;
        EXPECT_GT(waited, seconds) << seconds;
        EXPECT_LT(waited, seconds + 0.001) << seconds;
    }
}

TEST(WaitSeconds, DispatchesEventsWhileItWaits) {
    testing::WindowRig rig;
    std::vector<double> ran;
    for (double at : {0.05, 0.5, 0.99}) {
        rig.world.scheduler.after(at, [&] { ran.push_back(rig.world.now()); });
    }
    rig.world.scheduler.after(1.5, [&] { ran.push_back(-1); });
    rig.form.wait_seconds(1.0);
    EXPECT_EQ(ran, (std::vector<double>{0.05, 0.5, 0.99}));
}

struct NestedWaitCase {
    double outer;
    double inner;  // begins 0.05 s into the outer wait, in a handler
    double inner_ends;
    double outer_ends;  // its own end, or the inner one's when that is later
};

TEST(WaitSeconds, NestedWaitsBothRunTheirFullTime) {
    const std::vector<NestedWaitCase> cases = {
        {0.1, 0.3, 0.35, 0.35},
        {1.0, 0.3, 0.35, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("outer " + std::to_string(c.outer) + ", inner " + std::to_string(c.inner));
        testing::WindowRig rig;
        double inner_end = 0;
        rig.world.scheduler.after(0.05, [&] {
            rig.form.wait_seconds(c.inner);  // a handler that waits inside the outer wait
            inner_end = rig.world.now();
        });
        rig.form.wait_seconds(c.outer);
        EXPECT_GT(inner_end, c.inner_ends);
        EXPECT_LT(inner_end, c.inner_ends + 0.001);
        EXPECT_GT(rig.world.now(), c.outer_ends);
        EXPECT_LT(rig.world.now(), c.outer_ends + 0.001);
    }
}

struct PortEventRig : testing::WindowRig {
    PortEventRig() {
        world.add_port(1);
        form.MSComm1.set_CommPort(1);
        form.MSComm1.set_PortOpen(true);
    }
};

TEST(PortEvents, AnErrorEventClosesThePortAfterNineSeconds) {
    PortEventRig rig;
    rig.world.port.post_event(kCommEventFrame);
    bool open_during_wait = false;
    bool held_during_wait = false;
    rig.world.scheduler.after(8.9, [&] {
        open_during_wait = rig.form.MSComm1.PortOpen();
        held_during_wait = rig.form.comm_events_held;
    });
    rig.run_for(9.1);
    EXPECT_TRUE(open_during_wait);
    EXPECT_TRUE(held_during_wait);
    EXPECT_FALSE(rig.form.MSComm1.PortOpen());
    EXPECT_FALSE(rig.form.comm_events_held);
}

TEST(PortEvents, LineStateAndDataEventsChangeNothing) {
    for (int code : {kCommEvReceive, kCommEvCts, kCommEvDsr, kCommEvCd, 1, 6, 7, 1000}) {
        PortEventRig rig;
        rig.world.port.post_event(code);
        rig.run_for(20);
        EXPECT_TRUE(rig.form.MSComm1.PortOpen()) << code;
        EXPECT_FALSE(rig.form.comm_events_held) << code;
    }
}

TEST(PortEvents, EventsWhileHeldAreDroppedNotHandledLater) {
    PortEventRig rig;
    rig.form.comm_events_held = true;
    rig.world.port.post_event(kCommEventBreak);
    rig.run_for(1);
    rig.form.comm_events_held = false;
    rig.run_for(20);
    EXPECT_TRUE(rig.form.MSComm1.PortOpen());
}

TEST(PortEvents, EventsOfTheNineSecondsAfterAnErrorAreDropped) {
    PortEventRig rig;
    rig.world.port.post_event(kCommEventBreak);
    rig.run_for(1);
    rig.world.port.post_event(kCommEventBreak);  // dropped: the handler holds events
    rig.run_for(8.5);
    EXPECT_FALSE(rig.form.MSComm1.PortOpen());
    rig.form.MSComm1.set_PortOpen(true);
    rig.run_for(20);
    EXPECT_TRUE(rig.form.MSComm1.PortOpen()) << "the second error was not handled later";
}

TEST(PortEvents, AnErrorOnAClosedPortOnlyWaits) {
    PortEventRig rig;
    rig.world.port.post_event(kCommEventBreak);
    rig.form.MSComm1.set_PortOpen(false);
    rig.run_for(10);
    EXPECT_FALSE(rig.form.MSComm1.PortOpen());
    EXPECT_FALSE(rig.form.comm_events_held);
}

}  // namespace
}  // namespace r462xe
