// `Timer1`'s interval: while enabled it ticks every 100 ms. Every world's timer and the update's
// reckoning of its pace take it from here.
#pragma once

namespace r462xe {

inline constexpr double kTimer1IntervalSeconds = 0.1;

}  // namespace r462xe
