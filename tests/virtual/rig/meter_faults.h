// The virtual meter's faults, one at a time, for tables of cases.
#pragma once

#include <string>

#include "sim/meter/meter.h"

namespace r462xe::testing {

inline sim::MeterFaults reply_verbatim(const std::string& reply) {
    sim::MeterFaults faults;
    faults.idn_reply_verbatim = reply;
    return faults;
}

inline sim::MeterFaults star_e_first(int queries) {
    sim::MeterFaults faults;
    faults.star_e_first = queries;
    return faults;
}

inline sim::MeterFaults xon_after_reply() {
    sim::MeterFaults faults;
    faults.xon_after_reply = true;
    return faults;
}

inline sim::MeterFaults in_update_mode() {
    sim::MeterFaults faults;
    faults.start_in_update_mode = true;
    return faults;
}

}  // namespace r462xe::testing
