// Texts the real-time tests look for: the window's message boxes as the runner's transcript shows
// them, and the meter tool's log of the command that starts the update mode.
#pragma once

namespace r462xe::e2e {

inline constexpr const char* kSuccessBox =
    "\"Firmware Update\" \"Firmware Update was completed successfully.\"";
inline constexpr const char* kPowerCycleBox =
    "\"Power cycle the Meter\" \"Please power cycle the Meter before click on the OK button to "
    "continue the firmware updating.\"";

// The plain command, heard or not, at the normal speed: only the first start of an update sends
// it.
inline constexpr const char* kPlainEnterLogged = R"(@9600: "UPGR 1\r\n")";

}  // namespace r462xe::e2e
