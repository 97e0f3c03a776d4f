// Dead ends that the window's own rules lead into: states from which a user who presses only what
// the window offers ("Upload Firmware" while it is enabled, "Auto Search COM Port" otherwise)
// cannot get the image into the meter with three presses. Each kind is recognised from what the
// presses met, precisely enough that a run matching it cannot be a different fault in disguise;
// the campaign then shows that another way out (the search first) does work.
#pragma once

#include <string>
#include <vector>

#include "campaign_run.h"

namespace r462xe::campaign {

struct DeadEnd {
    const char* name;
    const char* why;
    bool (*matches)(const RunOutcome& outcome);
};

const std::vector<DeadEnd>& known_dead_ends();

// The known dead end that `outcome` met; nullptr when none matches.
const DeadEnd* match_dead_end(const RunOutcome& outcome);

}  // namespace r462xe::campaign
