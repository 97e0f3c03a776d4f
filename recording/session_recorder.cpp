#include "recording/session_recorder.h"

#include <algorithm>

#include "serial/line_settings.h"

namespace r462xe {

namespace {
// Bytes that come within this many byte times of each other belong to one reply...
constexpr double kJoinByteTimes = 4;
// ...or within this long: the program hears of arrivals only when its event loop runs, and a
// reply that comes a byte at a time must not be cut where a dispatch came late.
constexpr double kJoinAtLeastSeconds = 0.02;
}  // namespace

void SessionRecorder::opened(double now, int baud, const std::string& device) {
    write(
        {.kind = RecordedChunk::Kind::open, .time = now - start_, .baud = baud, .device = device});
}

void SessionRecorder::closed(double now) {
    write({.kind = RecordedChunk::Kind::close, .time = now - start_});
}

void SessionRecorder::speed(double now, int baud) {
    write({.kind = RecordedChunk::Kind::speed, .time = now - start_, .baud = baud});
}

void SessionRecorder::host_wrote(double now, int baud, const std::string& bytes) {
    for (std::size_t from = 0; from < bytes.size(); from += kMaxChunkBytes) {
        write({.kind = RecordedChunk::Kind::host,
               .time = now - start_,
               .baud = baud,
               .bytes = bytes.substr(from, kMaxChunkBytes)});
    }
}

void SessionRecorder::host_received(double now, int baud, const std::string& bytes) {
    if (bytes.empty()) return;
    const double join_within =
        std::max(kJoinByteTimes * kLineBitsPerByte / baud, kJoinAtLeastSeconds);
    const bool joins = reply_ && reply_->baud == baud && now - reply_last_byte_ <= join_within;
    if (!joins) flush();
    for (std::size_t from = 0; from < bytes.size();) {
        if (!reply_) {
            reply_ = RecordedChunk{
                .kind = RecordedChunk::Kind::meter, .time = now - start_, .baud = baud};
        }
        const std::size_t room = kMaxChunkBytes - reply_->bytes.size();
        reply_->bytes += bytes.substr(from, room);
        from += room;
        if (reply_->bytes.size() == kMaxChunkBytes) flush();
    }
    reply_last_byte_ = now;
}

void SessionRecorder::flush() {
    if (!reply_) return;
    writer_.write(*reply_);
    reply_.reset();
}

void SessionRecorder::write(const RecordedChunk& chunk) {
    flush();
    writer_.write(chunk);
}

}  // namespace r462xe
