// The waits of one identification by `send_idn`, named once for the exchange and for the time an
// update tells is left after its blocks.
#pragma once

namespace r462xe {

inline constexpr double kBeforeAttempt = 0.1;  // at the head of each attempt
inline constexpr double kAfterOpen = 1.0;      // after the port is opened at a speed
inline constexpr double kAfterFlush = 0.2;     // after the waiting input is dropped
inline constexpr double kReplyTime = 1.0;      // for the reply to a probe or a query

// One attempt at a meter that answers at once: its pause, then the update-mode probe and the
// "*IDN?" query, each opening the port, dropping the input and waiting for the reply.
inline constexpr double kAnsweredAttemptTime =
    kBeforeAttempt + 2 * (kAfterOpen + kAfterFlush + kReplyTime);

}  // namespace r462xe
