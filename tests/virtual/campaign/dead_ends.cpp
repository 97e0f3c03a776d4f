#include "dead_ends.h"

#include <algorithm>

namespace r462xe::campaign {

namespace {

constexpr const char* kPowerCycleTitle = "Power cycle the Meter";
constexpr const char* kUpdateSettings = "19200,n,8,1";
constexpr const char* kPlainEnterUpdate = "UPGR 1\r\n";
constexpr int kUpdateBaud = 19200;

// Every press of the user was "Upload Firmware" for a meter the window believes to be in normal
// mode, and is, while the port was still open at the update speed; each sent the plain command at
// that speed, no block, and ended in the power-cycle message alone.
bool plain_command_at_update_speed(const RunOutcome& outcome) {
    if (outcome.recovery_presses() != kRecoveryPresses) return false;
    return std::all_of(outcome.presses.begin() + 1, outcome.presses.end(), [](const auto& press) {
        return press.button == Press::upload && !press.window_update_mode &&
               !press.meter_in_update_mode && press.port_open &&
               press.port_settings == kUpdateSettings && press.first_write == kPlainEnterUpdate &&
               press.first_write_baud == kUpdateBaud && press.frames_sent == 0 &&
               press.titles == std::vector<std::string>{kPowerCycleTitle};
    });
}

}  // namespace

const std::vector<DeadEnd>& known_dead_ends() {
    static const std::vector<DeadEnd> kinds{
        {"plain-command-at-update-speed",
         "The meter missed the plain \"UPGR 1\" (a byte of it lost on the way) and stayed in "
         "normal mode at 9600 baud. The update reopens the port at 19200 baud regardless, so the "
         "masked \"UPGR 1\" goes unheard and the update ends on the no-acknowledgement path, "
         "which gives every control back but leaves the port open at the update speed and "
         "update_mode false. The meter had been identified, so each later \"Upload Firmware\" "
         "starts at once without reopening the port, sends the plain command at 19200 baud, "
         "which a meter in normal mode cannot hear, and ends the same way; a power cycle leaves "
         "a meter in normal mode in normal mode. Only a search or a pick in the port list "
         "reopens the port at 9600 baud, and a user who keeps to \"Upload Firmware\" while it "
         "is enabled never gets there.",
         plain_command_at_update_speed},
    };
    return kinds;
}

const DeadEnd* match_dead_end(const RunOutcome& outcome) {
    for (const auto& kind : known_dead_ends()) {
        if (kind.matches(outcome)) return &kind;
    }
    return nullptr;
}

}  // namespace r462xe::campaign
