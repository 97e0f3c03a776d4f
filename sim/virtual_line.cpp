#include "sim/virtual_line.h"

#include <algorithm>

#include "sim/sim_serial_port.h"

namespace r462xe::sim {

void VirtualLine::host_write(const std::string& bytes, int baud) {
    wire_.push_back({now(), true, bytes, baud});
    if (!plugged_) return;
    for (unsigned char byte : bytes) {
        to_device_free_ = std::max(to_device_free_, scheduler_.now()) + byte_time(baud);
        scheduler_.at(to_device_free_, [this, byte, baud] {
            if (plugged_ && on_byte_) on_byte_(byte, baud);
        });
    }
}

void VirtualLine::send(const std::string& bytes, int baud) {
    wire_.push_back({now(), false, bytes, baud});
    if (!plugged_) return;
    for (unsigned char byte : bytes) {
        to_host_free_ = std::max(to_host_free_, scheduler_.now()) + byte_time(baud);
        scheduler_.at(to_host_free_, [this, byte, baud] {
            if (plugged_ && host_ != nullptr && host_->baud() == baud) host_->receive(byte);
        });
    }
}

void VirtualLine::unplug() {
    plugged_ = false;
    if (host_ != nullptr) host_->device_gone();
}

}  // namespace r462xe::sim
