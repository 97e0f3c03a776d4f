// The known waits of an update, named once for the transfer and for the time it tells is left.
#pragma once

namespace r462xe {

inline constexpr double kMeterRestartWait = 9;  // after the unmasked "UPGR 1"
inline constexpr double kAcknowledgeWait = 3;   // after the masked "UPGR 1"
inline constexpr double kLeaveUpdateWait = 10;  // after "UPGR 0"
// The identification after the update, when the meter answers at once: the probe's waits
// (0.1 + 1.0 + 0.2 + 1.0 s) and the query's (1.0 + 0.2 + 1.0 s).
inline constexpr double kCheckMeterTime = 4.5;
// Timer1 reads the meter's verdicts once a tick.
inline constexpr double kTimerTick = 0.1;

}  // namespace r462xe
