// The range of port numbers the window knows: COM1 to COM16, always in ascending order.
#pragma once

namespace r462xe {

inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 16;

}  // namespace r462xe
