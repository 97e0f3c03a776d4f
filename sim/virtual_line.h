// One virtual serial line: the host's port at one end, a device (the virtual meter) at the other.
// Bytes cross it at 10 bit times each at the speed they were sent with; bytes sent at another
// speed than the receiver's arrive garbled and are dropped; what the device sends while the
// host's port is closed is lost. Every write in either direction is recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/meter/meter_link.h"
#include "sim/scheduler.h"

namespace r462xe::sim {

class SimSerialPort;

struct WireRecord {
    double time;     // when the write was made
    bool from_host;  // host to device, or device to host
    std::string bytes;
    int baud;
};

class VirtualLine : public MeterLink {
  public:
    VirtualLine(Scheduler& scheduler, int port) : scheduler_(scheduler), port_(port) {}

    int port() const { return port_; }
    // The device end: receives each host byte once it has fully crossed the line.
    void set_device(std::function<void(std::uint8_t byte, int baud)> on_byte) {
        on_byte_ = std::move(on_byte);
    }
    // Line pacing off: bytes cross at once.
    bool pacing = true;

    // Host end.
    void host_opened(SimSerialPort* port) { host_ = port; }
    void host_closed() { host_ = nullptr; }
    void host_write(const std::string& bytes, int baud);

    // The cable: unplugged, the host's port is gone and nothing crosses.
    bool plugged() const { return plugged_; }
    void unplug() override;
    void plug_in() { plugged_ = true; }

    // MeterLink: the device's side of the world.
    double now() override { return scheduler_.now_seconds(); }
    void after(double seconds, std::function<void()> action) override {
        scheduler_.after(seconds, std::move(action));
    }
    void send(const std::string& bytes, int baud) override;

    const std::vector<WireRecord>& wire() const { return wire_; }
    void clear_wire() { wire_.clear(); }

  private:
    Micros byte_time(int baud) const { return pacing ? to_micros(10.0 / baud) : 0; }
    // Records one write and lets its bytes cross one after another, each 10 bit times after the
    // line is free; `arrive` runs for each byte that reaches the other end while plugged in.
    void transmit(bool from_host, const std::string& bytes, int baud, Micros& line_free,
                  const std::function<void(std::uint8_t, int)>& arrive);

    Scheduler& scheduler_;
    int port_;
    bool plugged_ = true;
    SimSerialPort* host_ = nullptr;
    std::function<void(std::uint8_t, int)> on_byte_;
    Micros to_device_free_ = 0;
    Micros to_host_free_ = 0;
    std::vector<WireRecord> wire_;
};

}  // namespace r462xe::sim
