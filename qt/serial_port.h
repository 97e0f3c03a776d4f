// `MSComm1` on QSerialPort: moves the bytes for the component's property rules.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <memory>
#include <set>
#include <string>

#include "serial/port_map.h"
#include "serial/serial_port.h"

namespace r462xe {

// The device paths of the serial ports the system lists now.
std::vector<std::string> system_serial_devices();
// The devices that carry the system's console (Linux); none where the system does not say.
std::set<std::string> system_console_devices();

class QtSerialPort : public SerialPort {
  public:
    explicit QtSerialPort(PortMap& ports);
    ~QtSerialPort() override;
    std::string device_of(int port) const override;
    double now() const override { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }

  protected:
    void require_device(const char* operation) const override;
    void open_device(int port, const LineSettings& settings) override;
    void close_device() override;
    void apply_settings(const LineSettings& settings) override;
    void write_bytes(const std::string& bytes) override;
    int bytes_waiting() override;
    std::string read_all() override;

  private:
    QSerialPort& open_port(const char* operation);
    // The failure of an operation on a device that has gone away.
    PortError gone(const char* operation) const;
    void on_error(QSerialPort& source, QSerialPort::SerialPortError error);
    // Moves what the device has received into the receive buffer, within its bound, and tells
    // the bytes kept to the port's observer.
    void take_in();

    PortMap& ports_;
    std::unique_ptr<QSerialPort> device_;
    std::string device_path_;  // the device of the open port
    // Set once the device has gone away; every later transfer fails until the port is closed.
    bool device_gone_ = false;
    // Counts opens, so that a late error event of a closed device is not raised for the next one.
    unsigned open_count_ = 0;
    // Receiver of queued calls; dropped with this object, so no queued call outlives it.
    QObject context_;
    std::string received_;  // the receive buffer: received, not yet taken by Input
    QElapsedTimer clock_;
};

}  // namespace r462xe
