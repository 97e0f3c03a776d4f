// The four states of the transfer, held in `upload_step`.
#pragma once

#include <cstdint>

namespace r462xe {

inline constexpr std::int32_t kStateEnterUpdateMode = 0;
inline constexpr std::int32_t kStateAwaitAcknowledgement = 1;
inline constexpr std::int32_t kStateSendBlock = 2;
inline constexpr std::int32_t kStateAwaitBlockReply = 3;

}  // namespace r462xe
