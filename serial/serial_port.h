// `MSComm1`, the one serial port component of the window, under the component's own property
// names. Every failed operation throws PortError; each calling procedure decides what a failure
// means for it. The property rules live here once, and so does telling an observer what the port
// does; a subclass only moves bytes for its world (the system's serial device for the program, a
// virtual line for the tests) and says which bytes it has received.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "serial/line_settings.h"
#include "serial/port_numbers.h"
#include "serial/port_observer.h"
#include "serial/port_trouble.h"

namespace r462xe {

struct PortError : std::runtime_error {
    using std::runtime_error::runtime_error;
    PortError(const std::string& what, PortTrouble why)
        : std::runtime_error(what), trouble(std::move(why)) {}
    PortTrouble trouble;
};

// `CommEvent` codes.
inline constexpr int kCommEvReceive = 2;
inline constexpr int kCommEvCts = 3;
inline constexpr int kCommEvDsr = 4;
inline constexpr int kCommEvCd = 5;
// The error events, from the first on. A device that vanishes from under an open port is raised as
// a break: the component has no event of its own for it, and like a break it means the line is
// gone, which the handler answers by closing the port.
inline constexpr int kCommEventBreak = 1001;
inline constexpr int kCommEventFrame = 1004;
inline constexpr int kCommEventRxOver = 1008;
inline constexpr int kFirstErrorEvent = kCommEventBreak;

// The component's operations, for a subclass that may refuse one (see `before_operation`).
enum class PortOperation {
    CommPort,
    Settings,
    Handshaking,
    Open,
    Close,
    Output,
    InBufferCount,
    Input
};

class SerialPort {
  public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    virtual ~SerialPort() = default;

    // Port number, 1 to 16; only while the port is closed.
    void set_CommPort(int port);
    int CommPort() const { return comm_port_; }
    // Applies at once to an open port.
    void set_Settings(const std::string& text);
    const std::string& Settings() const { return settings_text_; }
    void set_Handshaking(int handshaking);
    int Handshaking() const { return handshaking_; }
    bool PortOpen() const { return open_; }
    // Opening an open port fails; closing a closed one does nothing.
    void set_PortOpen(bool open);
    void Output(const std::string& bytes);
    int InBufferCount();
    // Every waiting byte, unchanged; empties the receive buffer.
    std::string Input();
    int CommEvent() const { return comm_event_; }
    // The device that port number names now, as the system calls it; empty when none.
    virtual std::string device_of(int port) const = 0;

    // `OnComm`: raised while window events are dispatched.
    void set_OnComm(std::function<void()> handler) { on_comm_ = std::move(handler); }

    // Told from now on of every open, close, speed change, write and received byte (a recording);
    // nullptr tells nobody.
    void set_observer(PortObserver* observer) { observer_ = observer; }
    // Seconds on the port's own steady clock, as the observer is told them.
    virtual double now() const = 0;

  protected:
    // The subclass raises an event through this while events are dispatched.
    void raise_comm_event(int code);
    const LineSettings& line_settings() const { return settings_; }
    // The subclass tells the bytes it has received through this, as they come, each byte once.
    void received(const std::string& bytes);
    // Whether anyone is told the received bytes: when not, the subclass need not collect them.
    bool observed() const { return observer_ != nullptr; }
    // How the observer is told which port opened: "COM3 /dev/ttyUSB0", its number and device.
    virtual std::string observed_name(int port) const;
    // Runs first in every operation (an open or close only when it would change the port's
    // state); a subclass refuses the operation by throwing PortError, which changes nothing.
    virtual void before_operation(PortOperation) {}
    // Throws PortError when the open port's device has gone (a cable pulled): the operation
    // fails before anything is told or goes out.
    virtual void require_device(const char* operation) const = 0;

    virtual void open_device(int port, const LineSettings& settings) = 0;
    // Takes in what has come before the device closes, so that it is told before the close.
    virtual void close_device() = 0;
    virtual void apply_settings(const LineSettings& settings) = 0;
    virtual void write_bytes(const std::string& bytes) = 0;
    virtual int bytes_waiting() = 0;
    virtual std::string read_all() = 0;

  private:
    void require_open(const char* operation) const;

    int comm_port_ = 1;
    std::string settings_text_ = kNormalSettingsText;
    LineSettings settings_;
    int handshaking_ = 0;
    bool open_ = false;
    int comm_event_ = 0;
    std::function<void()> on_comm_;
    PortObserver* observer_ = nullptr;
};

}  // namespace r462xe
