// The component's `Settings` text: "baud,parity,data bits,stop bits", e.g. "9600,n,8,1".
#pragma once

#include <optional>
#include <string>

namespace r462xe {

// The meter's normal mode: probing, the identification query and the normal link.
inline constexpr const char* kNormalSettingsText = "9600,n,8,1";
// The meter's update mode: the update-mode probe and the transfer.
inline constexpr const char* kUpdateSettingsText = "19200,n,8,1";

// Bits on the line for each byte at the meter's settings: start bit, 8 data bits, stop bit.
inline constexpr int kLineBitsPerByte = 10;

struct LineSettings {
    int baud = 9600;
    char parity = 'n';            // n, e, o, m or s
    int data_bits = 8;            // 4 to 8
    std::string stop_bits = "1";  // "1", "1.5" or "2"

    bool operator==(const LineSettings&) const = default;
};

// nullopt for a malformed text.
std::optional<LineSettings> parse_settings(const std::string& text);

}  // namespace r462xe
