#include "serial/serial_port.h"

namespace r462xe {

void SerialPort::set_CommPort(int port) {
    before_operation(PortOperation::CommPort);
    if (open_) throw PortError("port already open");
    if (port < kFirstPortNumber || port > kLastPortNumber) throw PortError("invalid port number");
    comm_port_ = port;
}

void SerialPort::set_Settings(const std::string& text) {
    before_operation(PortOperation::Settings);
    const auto parsed = parse_settings(text);
    if (!parsed) throw PortError("invalid settings: " + text);
    if (open_) {
        apply_settings(*parsed);
        if (observer_) observer_->speed(now(), parsed->baud);
    }
    settings_ = *parsed;
    settings_text_ = text;
}

void SerialPort::set_Handshaking(int handshaking) {
    before_operation(PortOperation::Handshaking);
    if (handshaking != 0) throw PortError("only no flow control is supported");
    handshaking_ = handshaking;
}

void SerialPort::set_PortOpen(bool open) {
    if (open == open_) {
        if (open) throw PortError("port already open");
        return;
    }
    before_operation(open ? PortOperation::Open : PortOperation::Close);
    if (open) {
        open_device(comm_port_, settings_);
        open_ = true;
        if (observer_) observer_->opened(now(), settings_.baud, observed_name(comm_port_));
    } else {
        open_ = false;
        close_device();
        if (observer_) observer_->closed(now());
    }
}

void SerialPort::Output(const std::string& bytes) {
    before_operation(PortOperation::Output);
    require_open("Output");
    require_device("Output");
    // Told as they go out: a write that the device fails halfway still went to the line.
    if (observer_) observer_->host_wrote(now(), settings_.baud, bytes);
    write_bytes(bytes);
}

int SerialPort::InBufferCount() {
    before_operation(PortOperation::InBufferCount);
    require_open("InBufferCount");
    return bytes_waiting();
}

std::string SerialPort::Input() {
    before_operation(PortOperation::Input);
    require_open("Input");
    return read_all();
}

void SerialPort::received(const std::string& bytes) {
    if (observer_ && !bytes.empty()) observer_->host_received(now(), settings_.baud, bytes);
}

std::string SerialPort::observed_name(int port) const {
    return "COM" + std::to_string(port) + " " + device_of(port);
}

void SerialPort::raise_comm_event(int code) {
    comm_event_ = code;
    if (on_comm_) on_comm_();
}

void SerialPort::require_open(const char* operation) const {
    if (!open_) throw PortError(std::string(operation) + " on a closed port");
}

}  // namespace r462xe
