// Numbers read out of texts: serial numbers for the eligibility check, port numbers out of the
// port list's entries.
#include <cmath>
#include <cstdint>
#include <string>

#include "identify/eligibility_rule.h"
#include "identify/serial_value.h"
#include "ports/port_list_text.h"
#include "text/leading_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!std::isfinite(r462xe::leading_value(text))) __builtin_trap();
    if (!std::isfinite(r462xe::serial_value(text))) __builtin_trap();
    r462xe::model_and_serial_eligible("R4622E", text);
    r462xe::port_number_from_list_text(text);
    // Whatever serial number a meter reports, its entry still names its own port.
    const int port = size == 0 ? 1 : data[0] % 16 + 1;
    if (r462xe::port_number_from_list_text(r462xe::port_list_entry(port, text)) != port) {
        __builtin_trap();
    }
    return 0;
}
