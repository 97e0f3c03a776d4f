// What the serial port component tells its observer (a recording of the session), the same for
// every world: each open with its speed and the port's name, each change of speed on the open
// port, each write as it goes out, the received bytes as they come, each close. An operation that
// fails tells nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "serial/port_observer.h"
#include "sim/world.h"

namespace r462xe {
namespace {

std::string hex(const std::string& bytes) {
    std::string text;
    char digits[3];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

std::string at(double now) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", now);
    return text;
}

// One line per thing told; received bytes that follow each other are joined into one line.
class Told : public PortObserver {
  public:
    void opened(double now, int baud, const std::string& device) override {
        add(at(now) + " open " + std::to_string(baud) + " " + device);
    }
    void closed(double now) override { add(at(now) + " close"); }
    void speed(double now, int baud) override { add(at(now) + " speed " + std::to_string(baud)); }
    void host_wrote(double now, int baud, const std::string& bytes) override {
        add(at(now) + " host " + std::to_string(baud) + " " + hex(bytes));
    }
    void host_received(double, int baud, const std::string& bytes) override {
        const std::string start = "meter " + std::to_string(baud) + " ";
        if (!receiving_) add(start);
        receiving_ = true;
        lines.back() += hex(bytes);
    }
    // The lines told since the last call.
    std::vector<std::string> take() { return std::exchange(lines, {}); }

  private:
    void add(std::string line) {
        receiving_ = false;
        lines.push_back(std::move(line));
    }

    std::vector<std::string> lines;
    bool receiving_ = false;
};

struct Step {
    const char* name;
    std::function<void(sim::World&)> action;
    bool fails;  // with PortError
    std::vector<std::string> told;
};

TEST(PortObserver, IsToldWhatThePortDidAndNothingOfWhatFailed) {
    // "Marelind,R4622E,SN55250001,V3.05\r\n": the virtual meter's identity, as it answers *IDN?.
    const std::string idn_reply =
        "4d6172656c696e642c5234363232452c534e35353235303030312c56332e30350d0a";
    const std::vector<Step> steps = {
        {"an open that another program refuses",
         [](sim::World& w) {
             w.port.set_CommPort(2);
             w.port.set_PortOpen(true);
         },
         true,
         {}},
        {"an open",
         [](sim::World& w) {
             w.port.set_CommPort(3);
             w.port.set_PortOpen(true);
         },
         false,
         {"0.000 open 9600 COM3"}},
        {"new settings on the open port",
         [](sim::World& w) { w.port.set_Settings("19200,n,8,1"); },
         false,
         {"0.000 speed 19200"}},
        {"the settings back",
         [](sim::World& w) { w.port.set_Settings("9600,n,8,1"); },
         false,
         {"0.000 speed 9600"}},
        {"a write",
         [](sim::World& w) { w.port.Output("*IDN?\r\n"); },
         false,
         {"0.000 host 9600 2a49444e3f0d0a"}},
        {"the meter's answer, as it comes",
         [](sim::World& w) { w.events.run_until(2.0); },
         false,
         {"meter 9600 " + idn_reply}},
        {"a change of settings that the port refuses",
         [](sim::World& w) {
             w.port.fail_next(PortOperation::Settings);
             w.port.set_Settings("19200,n,8,1");
         },
         true,
         {}},
        {"a close", [](sim::World& w) { w.port.set_PortOpen(false); }, false, {"2.000 close"}},
        {"settings on the closed port",
         [](sim::World& w) { w.port.set_Settings("19200,n,8,1"); },
         false,
         {}},
        {"a write on the closed port", [](sim::World& w) { w.port.Output("*IDN?\r\n"); }, true, {}},
        {"the open again",
         [](sim::World& w) { w.port.set_PortOpen(true); },
         false,
         {"2.000 open 19200 COM3"}},
        {"a write after the cable is pulled",
         [](sim::World& w) {
             w.line(3).unplug();
             w.port.Output("*IDN?\r\n");
         },
         true,
         {}},
        {"the close after it",
         [](sim::World& w) { w.port.set_PortOpen(false); },
         false,
         {"2.000 close"}},
    };
    sim::World world;
    world.add_held_port(2);
    world.add_meter(3);
    Told told;
    world.port.set_observer(&told);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        bool failed = false;
        try {
            step.action(world);
        } catch (const PortError&) {
            failed = true;
        }
        EXPECT_EQ(failed, step.fails);
        EXPECT_EQ(told.take(), step.told);
    }
}

// A port of a world whose devices have names of their own (the system's serial devices): the
// observer is told the port's number and its device.
class NamedDevicePort : public SerialPort {
  public:
    std::string device_of(int port) const override {
        return port == 3 ? "/dev/ttyUSB0" : std::string();
    }
    double now() const override { return 1.5; }

  protected:
    void require_device(const char*) const override {}
    void open_device(int, const LineSettings&) override {}
    void close_device() override {}
    void apply_settings(const LineSettings&) override {}
    void write_bytes(const std::string&) override {}
    int bytes_waiting() override { return 0; }
    std::string read_all() override { return {}; }
};

TEST(PortObserver, IsToldThePortAndItsDeviceAtAnOpen) {
    NamedDevicePort port;
    Told told;
    port.set_observer(&told);
    port.set_CommPort(3);
    port.set_PortOpen(true);
    EXPECT_EQ(told.take(), std::vector<std::string>{"1.500 open 9600 COM3 /dev/ttyUSB0"});
}

}  // namespace
}  // namespace r462xe
