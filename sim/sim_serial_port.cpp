#include "sim/sim_serial_port.h"

#include "serial/receive_buffer.h"

namespace r462xe::sim {

VirtualLine& SimSerialPort::add_line(int port) {
    auto& line = lines_[port];
    line = std::make_unique<VirtualLine>(scheduler_, port);
    return *line;
}

VirtualLine* SimSerialPort::line(int port) {
    const auto found = lines_.find(port);
    return found == lines_.end() ? nullptr : found->second.get();
}

std::string SimSerialPort::device_of(int port) const {
    return lines_.count(port) != 0 ? "/dev/ttyV" + std::to_string(port) : std::string();
}

std::string SimSerialPort::observed_name(int port) const {
    return "COM" + std::to_string(port);
}

void SimSerialPort::device_gone() {
    if (PortOpen()) post_event(kCommEventBreak);
}

void SimSerialPort::post_event(int code) {
    scheduler_.at(scheduler_.now(), [this, code] { raise_comm_event(code); });
}

void SimSerialPort::fail_next(PortOperation operation, int nth, int times) {
    refusals_[operation] = {nth - 1, times};
}

void SimSerialPort::before_operation(PortOperation operation) {
    const auto found = refusals_.find(operation);
    if (found == refusals_.end()) return;
    Refusal& refusal = found->second;
    if (refusal.skip > 0) {
        --refusal.skip;
        return;
    }
    if (--refusal.times <= 0) refusals_.erase(found);
    throw PortError("operation refused");
}

void SimSerialPort::open_device(int port, const LineSettings&) {
    VirtualLine* line = this->line(port);
    if (line == nullptr || !line->plugged())
        throw PortError("no such port", PortTrouble{.fault = PortFault::Absent});
    const std::string device = device_of(port);
    if (const auto forbidden = forbidden_.find(port); forbidden != forbidden_.end()) {
        throw PortError("permission denied", PortTrouble{.fault = PortFault::NoRight,
                                                         .device = device,
                                                         .system_text = "Permission denied",
                                                         .group = forbidden->second,
                                                         .group_may_open = true});
    }
    if (held_.count(port) != 0) {
        throw PortError("port in use", PortTrouble{.fault = PortFault::Held,
                                                   .device = device,
                                                   .system_text = "Device or resource busy"});
    }
    open_line_ = line;
    received_.clear();
    line->host_opened(this);
    ++opens_;
}

// The line takes the speed of each byte as it is sent.
void SimSerialPort::apply_settings(const LineSettings&) {}

void SimSerialPort::receive(std::uint8_t byte) {
    const std::string arrived(1, static_cast<char>(byte));
    if (take_into_receive_buffer(received_, arrived) != 0) received(arrived);
}

void SimSerialPort::close_device() {
    close_times_.push_back(scheduler_.now_seconds());
    if (open_line_ != nullptr) open_line_->host_closed();
    open_line_ = nullptr;
    received_.clear();
}

// The component has found the device there before the write.
void SimSerialPort::write_bytes(const std::string& bytes) {
    open_line_->host_write(bytes, baud());
}

int SimSerialPort::bytes_waiting() {
    require_device("InBufferCount");
    return static_cast<int>(received_.size());
}

std::string SimSerialPort::read_all() {
    require_device("Input");
    return std::exchange(received_, std::string());
}

void SimSerialPort::require_device(const char*) const {
    if (open_line_ == nullptr || !open_line_->plugged())
        throw PortError("device gone",
                        PortTrouble{.fault = PortFault::Gone, .device = device_of(CommPort())});
}

}  // namespace r462xe::sim
