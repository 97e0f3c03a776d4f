// The serial component's receive buffer: the bytes received and not yet taken by `Input`. It has a
// fixed size, as a UART's has: a port stays open while the window is idle, and a device that talks
// to it all day (a position receiver, another instrument) must not grow the program's memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace r462xe {

// 4,096 bytes: a hundred times the meter's longest reply (an identification, about 40 bytes), and
// four times the largest write (the update-mode probe of 1,028 bytes), whose answers it holds
// whole. Every exchange reads its reply (or flushes the buffer) before the next.
inline constexpr std::size_t kReceiveBufferBytes = 4096;

// Appends what arrived to the waiting bytes as far as the buffer has room; the rest is dropped,
// as a full UART drops what comes next (an overrun), while what waits stays whole. Returns how many
// bytes were kept: those are the bytes the program receives.
inline std::size_t take_into_receive_buffer(std::string& waiting, std::string_view arrived) {
    const std::size_t room =
        waiting.size() < kReceiveBufferBytes ? kReceiveBufferBytes - waiting.size() : 0;
    const std::size_t kept = arrived.size() < room ? arrived.size() : room;
    waiting.append(arrived.substr(0, kept));
    return kept;
}

}  // namespace r462xe
