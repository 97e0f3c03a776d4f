// The serial port's settings text: anything accepted reads back the same way.
#include <cstdint>
#include <string>

#include "serial/line_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto settings = r462xe::parse_settings(text);
    if (settings) {
        if (settings->baud < 50 || settings->data_bits < 4 || settings->data_bits > 8) {
            __builtin_trap();
        }
        const std::string again = std::to_string(settings->baud) + "," + settings->parity + "," +
                                  std::to_string(settings->data_bits) + "," + settings->stop_bits;
        if (r462xe::parse_settings(again) != settings) __builtin_trap();
    }
    return 0;
}
