// MSComm1 in the simulated world: COM numbers name virtual lines; a number without a line, or a
// line held by another program, cannot be opened.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "serial/serial_port.h"
#include "sim/scheduler.h"
#include "sim/virtual_line.h"

namespace r462xe::sim {

class SimSerialPort : public SerialPort {
  public:
    explicit SimSerialPort(Scheduler& scheduler) : scheduler_(scheduler) {}

    VirtualLine& add_line(int port);
    VirtualLine* line(int port);
    void hold_port(int port) { held_.insert(port); }  // another program has it open
    void release_port(int port) { held_.erase(port); }
    // The user may not open the port's device, which belongs to `group`.
    void forbid_port(int port, std::string group) { forbidden_[port] = std::move(group); }
    // The device name a port's line stands for: "/dev/ttyV" and the port number.
    std::string device_of(int port) const override;
    double now() const override { return scheduler_.now_seconds(); }

    // Called by the line.
    int baud() const { return line_settings().baud; }
    void receive(std::uint8_t byte);
    // The device behind the open port has gone: one error event, dispatched like any event.
    void device_gone();
    // A port event of the given code, dispatched like any event.
    void post_event(int code);

    int opens() const { return opens_; }
    // When the open port was closed, each time, in seconds of virtual time.
    const std::vector<double>& close_times() const { return close_times_; }

    // The `nth` operation of this kind from now on fails with PortError, as the real component
    // refuses one, and so do the `times` - 1 operations of the kind that follow it.
    void fail_next(PortOperation operation, int nth = 1, int times = 1);

  protected:
    // The port's number alone ("COM3"): a virtual line stands for no device of a system, and
    // recordings made in virtual time name none.
    std::string observed_name(int port) const override;
    void before_operation(PortOperation operation) override;
    void require_device(const char* operation) const override;
    void open_device(int port, const LineSettings& settings) override;
    void close_device() override;
    void apply_settings(const LineSettings& settings) override;
    void write_bytes(const std::string& bytes) override;
    int bytes_waiting() override;
    std::string read_all() override;

  private:
    Scheduler& scheduler_;
    std::map<int, std::unique_ptr<VirtualLine>> lines_;
    std::set<int> held_;
    std::map<int, std::string> forbidden_;
    VirtualLine* open_line_ = nullptr;
    std::string received_;
    int opens_ = 0;
    std::vector<double> close_times_;
    struct Refusal {
        int skip;   // operations of the kind still let through
        int times;  // operations of the kind still to refuse after those
    };
    std::map<PortOperation, Refusal> refusals_;
};

}  // namespace r462xe::sim
