// The simulated world the tests run the window in: virtual time, virtual serial ports with
// virtual meters on chosen COM numbers, message boxes answered by the test. A 9-second wait costs
// microseconds and every run gives the same result.
#pragma once

#include <map>
#include <memory>

#include "sim/meter/meter.h"
#include "sim/scheduler.h"
#include "sim/sim_platform.h"
#include "sim/sim_serial_port.h"
#include "ui/platform.h"

namespace r462xe::sim {

class World {
  public:
    Scheduler scheduler;
    SimEventLoop events{scheduler};
    SimTimer timer{scheduler};
    SimMessageBoxes messages{events};
    SimWindowSystem window;
    SimSerialPort port{scheduler};
    SimSleepInhibitor sleep{events};
    SimErrorLog error_log{events};
    SimUpdateHistory history;

    Platform platform() {
        return {events, port, timer, messages, window, sleep, error_log, history};
    }
    double now() const { return scheduler.now_seconds(); }

    // A port that can be opened, with nothing on the other end.
    VirtualLine& add_port(int com) { return port.add_line(com); }
    // A port held by another program: it exists but cannot be opened.
    void add_held_port(int com) {
        port.add_line(com);
        port.hold_port(com);
    }
    // A port whose device the user may not open; it belongs to `group`.
    void add_forbidden_port(int com, const std::string& group) {
        port.add_line(com);
        port.forbid_port(com, group);
    }
    // A meter on the other end of port `com`.
    Meter& add_meter(int com, MeterIdentity identity = {}, MeterFaults faults = {});
    Meter& meter(int com) { return *meters_.at(com); }
    VirtualLine& line(int com) { return *port.line(com); }

  private:
    std::map<int, std::unique_ptr<Meter>> meters_;
};

}  // namespace r462xe::sim
