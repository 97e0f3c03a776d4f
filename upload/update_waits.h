// The known waits of an update, named once for the transfer and for the time it tells is left.
#pragma once

#include "identify/idn_waits.h"
#include "ui/timer_interval.h"

namespace r462xe {

inline constexpr double kMeterRestartWait = 9;  // after the unmasked "UPGR 1"
inline constexpr double kAcknowledgeWait = 3;   // after the masked "UPGR 1"
inline constexpr double kLeaveUpdateWait = 10;  // after "UPGR 0"
// The identification after the update, when the meter answers at once.
inline constexpr double kCheckMeterTime = kAnsweredAttemptTime;
// Timer1 reads the meter's verdicts once a tick.
inline constexpr double kTimerTick = kTimer1IntervalSeconds;

}  // namespace r462xe
