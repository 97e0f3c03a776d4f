// What a failed real-time test prints first about its runner: how it stands, what it said on
// standard error, the last value of the lines that tell why it got where it did (the port's tips,
// the progress text, the boxes) and the end of the meter's log, then the whole transcript. A long
// transcript is read, and often cut, from its start; the why belongs ahead of it.
#pragma once

#include <string>

#include "e2e/process.h"

namespace r462xe::e2e {

std::string runner_story(Child& runner, MeterSim& meter);

}  // namespace r462xe::e2e
