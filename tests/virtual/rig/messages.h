// The message boxes as the tests expect them, written out once for every test folder, and one
// line per shown box ("title | text | icon") that a failed test prints whole.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_platform.h"

namespace r462xe::testing {

inline constexpr const char* kPowerCycleText =
    "Please power cycle the Meter before click on the OK button to continue the firmware "
    "updating.";
inline constexpr const char* kPowerCycleTitle = "Power cycle the Meter";
inline constexpr const char* kSuccessText = "Firmware Update was completed successfully.";
inline constexpr const char* kSuccessTitle = "Firmware Update";
inline constexpr const char* kIncompatibleText =
    "Incompatible Hardware: Firmware upgrade is not supported.";
inline constexpr const char* kIncompatibleTitle = "Information";

inline std::string message_line(const sim::ShownMessage& message) {
    const char* icon = "?";
    switch (message.icon) {
        case MsgIcon::Critical:
            icon = "critical";
            break;
        case MsgIcon::Exclamation:
            icon = "exclamation";
            break;
        case MsgIcon::Information:
            icon = "information";
            break;
    }
    return message.title + " | " + message.text + " | " + icon;
}

inline std::vector<std::string> message_lines(const std::vector<sim::ShownMessage>& shown) {
    std::vector<std::string> lines;
    for (const auto& message : shown) lines.push_back(message_line(message));
    return lines;
}

// The boxes' titles in the order shown, separated by blanks.
inline std::string titles_line(const std::vector<sim::ShownMessage>& shown) {
    std::string titles;
    for (const auto& message : shown) titles += (titles.empty() ? "" : " ") + message.title;
    return titles;
}

inline const std::string kPowerCycleMessage =
    std::string(kPowerCycleTitle) + " | " + kPowerCycleText + " | exclamation";
inline const std::string kSuccessMessage =
    std::string(kSuccessTitle) + " | " + kSuccessText + " | information";

}  // namespace r462xe::testing
