// What the virtual meter needs of the world it lives in: a clock, delayed actions, its UART's
// transmitter and the cable. The simulated world provides it in virtual time; the pty tool in
// real time.
#pragma once

#include <functional>
#include <string>

namespace r462xe::sim {

class MeterLink {
  public:
    virtual ~MeterLink() = default;
    // Seconds, steady.
    virtual double now() = 0;
    // Run `action` once, `seconds` from now.
    virtual void after(double seconds, std::function<void()> action) = 0;
    // The meter's UART transmits `bytes` at `baud`; the line paces them.
    virtual void send(const std::string& bytes, int baud) = 0;
    // The cable is pulled: the host's serial port disappears.
    virtual void unplug() = 0;
};

}  // namespace r462xe::sim
