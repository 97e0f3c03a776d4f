// The tool's end of the line to the updater: a pseudo-terminal whose other end the updater opens,
// or a real serial device.
#pragma once

#include <memory>
#include <string>

namespace r462xe::sim {

// The speed a pseudo-terminal is left at while no host has it open. QSerialPort puts back the
// settings it found when it closes, so the speed returns to this when the updater lets go.
inline constexpr int kNoHostBaud = 50;

class HostLine {
  public:
    virtual ~HostLine() = default;
    // Where the host's bytes are read from and the meter's bytes written to.
    virtual int fd() const = 0;
    // What the updater opens.
    virtual const std::string& path() const = 0;
    // The speed the host's port is set to now; kNoHostBaud when nobody has it open.
    virtual int host_baud() = 0;
    virtual void meter_baud_changed(int baud) = 0;
    // Throws away what the meter sent and no host read, so the next opener does not see it.
    virtual void drop_unread() = 0;
    // A real line already takes 10 bit times a byte; a pseudo-terminal takes none.
    virtual bool paces_itself() const = 0;
    // The cable is pulled: the host's port goes away.
    virtual void close() = 0;
};

// Both throw std::system_error when the line cannot be set up.
std::unique_ptr<HostLine> open_pty_line();
std::unique_ptr<HostLine> open_device_line(const std::string& path, int baud);

}  // namespace r462xe::sim
