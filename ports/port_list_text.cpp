#include <cmath>
#include <limits>

#include "ports/port_list_text.h"
#include "text/leading_number.h"

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

}  // namespace r462xe
