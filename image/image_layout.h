// The firmware image's shape: 60 blocks of 1,024 bytes, sent as blocks 0 to 59.
#pragma once

namespace r462xe {

inline constexpr int kBlockBytes = 1024;
inline constexpr int kBlockCount = 60;
inline constexpr int kImageBytes = kBlockBytes * kBlockCount;  // 61,440
inline constexpr int kLastBlock = kBlockCount - 1;

}  // namespace r462xe
