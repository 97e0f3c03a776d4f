// The meter's side of the line protocol: speeds, frames, the mask and the flash layout, as pure
// values and functions. The virtual meter and its tools share these; the updater has its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace r462xe::sim {

// The line: 8N1, one start and one stop bit.
inline constexpr int kNormalBaud = 9600;
inline constexpr int kUpdateBaud = 19200;
inline constexpr int kBitsPerByte = 10;

// Every byte in update mode, both ways, is combined with this by exclusive or.
inline constexpr std::uint8_t kMask = 0x6B;

// Normal mode: plain text lines.
inline constexpr char kLineEnd = '\n';
inline constexpr char kCarriageReturn = '\r';
inline constexpr char kXon = 0x11;
inline constexpr std::string_view kIdnQuery = "*IDN?";
inline constexpr std::string_view kEnterUpdate = "UPGR 1";
inline constexpr std::string_view kErrorReply = "*E\r\n";
inline constexpr std::string_view kReplyEnd = "\r\n";

// Update mode: command frames start with 'U' and end at line feed; anything else is a block.
inline constexpr char kCommandStart = 'U';
inline constexpr std::string_view kLeaveUpdate = "UPGR 0";
inline constexpr std::string_view kAckReply = "ACK\r\n";
inline constexpr std::string_view kBlockAccepted = "0";
inline constexpr std::string_view kBlockRejected = "1";
inline constexpr double kFrameGapSeconds = 0.2;

// The image: 60 blocks of 1024 bytes; a block frame is [number, data, check byte].
inline constexpr int kBlockCount = 60;
inline constexpr std::size_t kBlockSize = 1024;
inline constexpr std::size_t kImageSize = kBlockCount * kBlockSize;
inline constexpr std::size_t kBlockFrameSize = 1 + kBlockSize + 1;

// Time one byte takes to cross the line at `baud`.
inline double byte_seconds(int baud) {
    return double(kBitsPerByte) / baud;
}

// `bytes` combined with kMask; applying it twice gives the bytes back.
std::string masked(std::string_view bytes);

// The two hexadecimal digits of `byte` exchanged: 0x12 <-> 0x21.
std::uint8_t nibble_swapped(std::uint8_t byte);

// The check byte the meter expects after block `number` carrying `data` (both unmasked).
std::uint8_t block_check_byte(std::uint8_t number, std::string_view data);

// The original image file from the blocks as the meter stores them (transfer order, unmasked):
// transfer block n holds file block 59 - n reversed, each byte nibble-swapped. Empty unless
// `transfer` is a whole image.
std::string file_from_transfer(std::string_view transfer);

}  // namespace r462xe::sim
