#include "sim/world.h"

namespace r462xe::sim {

Meter& World::add_meter(int com, MeterIdentity identity, MeterFaults faults) {
    VirtualLine* line = port.line(com);
    if (line == nullptr) line = &add_port(com);
    auto& meter = meters_[com];
    meter = std::make_unique<Meter>(*line, std::move(identity), std::move(faults));
    Meter* model = meter.get();
    line->set_device([model](std::uint8_t byte, int baud) { model->receive(byte, baud); });
    return *meter;
}

}  // namespace r462xe::sim
