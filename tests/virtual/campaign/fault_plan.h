// What one run of the fault campaign does to the window and the meter, drawn from its seed: where
// the meter and the other ports sit, and the faults that strike during the first update. The same
// seed always gives the same plan, so a failing run replays from its seed alone.
#pragma once

#include <string>
#include <vector>

namespace r462xe::campaign {

enum class FaultKind {
    garbage,              // stray bytes reach the host at the meter's speed
    slow_replies,         // the meter takes longer to answer anything for a while
    late_verdict,         // one block's verdict leaves late
    split_verdict,        // one block's verdict comes as two pieces with a line end or a repeat
    lost_host_bytes,      // a few bytes the host sends never reach the meter
    lost_meter_bytes,     // a few bytes the meter sends never reach the host
    rejections,           // several blocks rejected once each
    reject_always,        // one block rejected every time it comes
    cable_pull,           // the cable pulled at a moment, plugged back later
    cable_pull_at_block,  // the cable pulled as one block's frame has come
    power_cycle,          // the meter switched off and on
    slow_restart,         // the meter takes longer to restart after UPGR 1 / UPGR 0
    lost_plain_enter,     // the first plain "UPGR 1" never reaches the meter
    hang_after_leave,     // after "UPGR 0" the meter answers nothing until it is power-cycled
};

inline constexpr int kFaultKinds = static_cast<int>(FaultKind::hang_after_leave) + 1;

const char* kind_name(FaultKind kind);

// One fault. Which fields count depends on the kind (see describe()).
struct Fault {
    FaultKind kind = FaultKind::garbage;
    double at = 0;            // seconds after the press of "Upload Firmware"
    double seconds = 0;       // a delay, a restart time, or when the cable comes back
    double lasts = 0;         // how long slow replies go on
    double gap = 0;           // between the two pieces of a split verdict
    int block = -1;           // the block it concerns
    int count = 0;            // bytes lost
    int skip = 0;             // bytes that cross before the loss begins
    std::string bytes;        // garbage, or the verdict's tail (unmasked)
    std::vector<int> blocks;  // rejected once each

    std::string describe() const;
};

struct RunPlan {
    unsigned seed = 0;
    int meter_port = 3;
    int bare_port = 0;  // a port with nothing on it; 0: none
    int held_port = 0;  // a port another program holds; 0: none
    // The meter was left in its update mode before the program started: the search shows
    // "Updating" and offers no update until the user picks the meter's port in the list.
    bool starts_in_update_mode = false;
    double answer_after = 0.5;  // how long the user takes to answer a message box
    double think_time = 1.0;    // how long the user looks before pressing again
    std::vector<Fault> faults;

    std::string describe() const;
};

RunPlan draw_plan(unsigned seed);

// The update must bear every fault of the plan without failing: a slower restart than usual,
// verdicts and replies late by less than the reply limit allows, at most ten rejections.
bool update_bears_every_fault(const RunPlan& plan);

}  // namespace r462xe::campaign
