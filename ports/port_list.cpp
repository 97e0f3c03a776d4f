#include "ports/port_list.h"

#include <cmath>
#include <limits>

#include "app/form1.h"
#include "app/leading_value.h"

namespace r462xe {

std::string port_list_entry(int port, const std::string& port_serial) {
    std::string entry = "COM" + std::to_string(port);
    if (!port_serial.empty()) entry += "  :" + port_serial;
    return entry;
}

std::int16_t port_number_from_list_text(const std::string& text) {
    if (text.size() <= 3) return 0;
    const double rounded = std::nearbyint(leading_value(text.substr(3)));
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max()) {
        return 0;
    }
    return static_cast<std::int16_t>(rounded);
}

// One entry for each port the probe could open, in ascending order.
void Form1::fill_port_list() {
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (port_present[i]) COM1.add_item(port_list_entry(n, port_serial[i]));
    }
}

// Selects the entry of found_port; -1 (nothing) when that port has no entry.
void Form1::select_found_port() {
    int count = 0;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        if (port_present[static_cast<std::size_t>(n)]) ++count;
        if (n == found_port) COM1.set_list_index(count - 1);
    }
}

}  // namespace r462xe
