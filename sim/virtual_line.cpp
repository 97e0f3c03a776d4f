#include "sim/virtual_line.h"

#include <algorithm>

#include "sim/sim_serial_port.h"

namespace r462xe::sim {

void VirtualLine::host_write(const std::string& bytes, int baud) {
    transmit(true, bytes, baud, to_device_free_, [this](std::uint8_t byte, int sent_at) {
        if (on_byte_) on_byte_(byte, sent_at);
    });
}

void VirtualLine::send(const std::string& bytes, int baud) {
    transmit(false, bytes, baud, to_host_free_, [this](std::uint8_t byte, int sent_at) {
        // The host hears only what arrives at its own speed while its port is open.
        if (host_ != nullptr && host_->baud() == sent_at) host_->receive(byte);
    });
}

void VirtualLine::transmit(bool from_host, const std::string& bytes, int baud, Micros& line_free,
                           const std::function<void(std::uint8_t, int)>& arrive) {
    wire_.push_back({now(), from_host, bytes, baud});
    if (!plugged_) return;
    for (unsigned char byte : bytes) {
        line_free = std::max(line_free, scheduler_.now()) + byte_time(baud);
        scheduler_.at(line_free, [this, arrive, byte, baud] {
            if (plugged_) arrive(byte, baud);
        });
    }
}

void VirtualLine::unplug() {
    plugged_ = false;
    if (host_ != nullptr) host_->device_gone();
}

}  // namespace r462xe::sim
