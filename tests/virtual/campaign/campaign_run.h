// One run of the fault campaign: a window in the simulated world with a meter on one port (and
// maybe a bare and a held port), start-up, a press of "Upload Firmware" with the plan's faults
// striking, and then a user who ends the faults when the window asks (plugs the cable back in,
// power-cycles the meter when told to) and presses what the window offers, three times at most.
// The window's rules are watched the whole time; the success message is believed only for a meter
// that runs in its normal mode with the image in its flash.
#pragma once

#include <string>
#include <vector>

#include "fault_plan.h"

namespace r462xe::campaign {

inline constexpr int kRecoveryPresses = 3;

enum class Press { upload, search, pick };
const char* press_name(Press press);

// What one press met and what came of it, until the window was idle again.
struct PressRecord {
    Press button = Press::upload;
    double time = 0;
    bool meter_in_update_mode = false;  // the meter's own mode at the press
    bool window_update_mode = false;    // the window's update_mode at the press
    bool port_open = false;
    std::string port_settings;  // MSComm1's line settings at the press
    // The first bytes the host wrote after the press, and their speed; empty if none.
    std::string first_write;
    int first_write_baud = 0;
    int frames_sent = 0;
    std::vector<std::string> titles;  // message boxes shown, by title
};

struct RunOutcome {
    RunPlan plan;
    std::vector<std::string> violations;  // broken rules of the window, escaped exceptions
    std::vector<bool> struck;             // per fault of the plan: it struck before it ended
    bool first_update_failed = false;     // a failure message, or the image not in the meter
    std::vector<PressRecord> presses;     // the first press, then the user's presses
    bool updated = false;                 // the meter holds the image at the end
    std::vector<std::string> log;

    int recovery_presses() const { return static_cast<int>(presses.size()) - 1; }
    int faults_struck() const;
    std::string report() const;  // the plan, the presses and the log, for a failed run
};

RunOutcome run_seed(unsigned seed);

// Test seams: a run whose user breaks the window's rule on the controls after the first update,
// or never ends the faults; the campaign's checks must catch both.
enum class Sabotage { none, disable_every_control, keep_the_faults };
RunOutcome run_plan(const RunPlan& plan, Sabotage sabotage = Sabotage::none);

}  // namespace r462xe::campaign
