// `MSComm1` on the system's serial ports (\\.\COMn): moves the bytes for the component's property
// rules. Writes go out in the background, in order, so that the window stays alive while a block
// crosses the line; reads take what has arrived and return at once.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "serial/port_map.h"
#include "serial/serial_port.h"
#include "win32/message_window.h"

namespace r462xe {

class Win32SerialPort : public SerialPort {
  public:
    explicit Win32SerialPort(const PortMap& ports);
    ~Win32SerialPort() override;
    std::string device_of(int port) const override;
    double now() const override;

  protected:
    void require_device(const char* operation) const override;
    void open_device(int port, const LineSettings& settings) override;
    void close_device() override;
    void apply_settings(const LineSettings& settings) override;
    void write_bytes(const std::string& bytes) override;
    int bytes_waiting() override;
    std::string read_all() override;

  private:
    // One write on its way, with the bytes and the event that the system uses until it is done.
    struct Write {
        OVERLAPPED overlapped{};
        std::string bytes;
    };

    // The handle of the open device; throws the device's failure once it has gone.
    HANDLE open_handle(const char* operation);
    // Takes the finished writes off the list; a failed one fails this operation.
    void finish_writes(const char* operation);
    void discard_writes();
    // The failure of an operation on the open device: a device that has gone (a cable pulled)
    // raises the break event once, on the next dispatch, and fails every later transfer.
    PortError failure(const char* operation, DWORD error);
    PortError gone(const char* operation) const;
    void raise_break(unsigned opened);
    // Everything the device holds now, read without telling anyone.
    std::string read_device();
    // While an observer records the line: the bytes taken in as they arrive, so that the record
    // gives the time they came, not the time the program asked for them.
    void take_arrivals();

    const PortMap& ports_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string device_;  // the device of the open port
    std::deque<std::unique_ptr<Write>> writes_;
    // Set once the device has gone away; every later transfer fails until the port is closed.
    bool device_gone_ = false;
    std::string gone_text_;  // the system's words when it went
    // Counts opens, so that a late break of a closed device is not raised for the next one.
    unsigned open_count_ = 0;
    // Bytes taken in early for the observer, not yet read by the program.
    std::string arrived_;
    // Where the break event and the arrival ticks wait for the next dispatch.
    MessageWindow events_;
};

}  // namespace r462xe
