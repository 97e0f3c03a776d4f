#include "sim/recording/replay_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/meter/meter_protocol.h"

namespace r462xe::sim {

namespace {

// Enough of the expected bytes to see where the host went another way.
constexpr std::size_t kShownBytes = 16;

std::string hex_bytes(const std::string& bytes) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
        text += (i == 0 ? "" : " ") + std::string(digits);
    }
    if (bytes.size() > kShownBytes) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

bool is_host(const RecordedChunk& chunk) {
    return chunk.kind == RecordedChunk::Kind::host;
}

}  // namespace

std::string Divergence::describe() const {
    std::string text = line > 0 ? "recording line " + std::to_string(line) + ", offset " +
                                      std::to_string(offset) + ": "
                                : "after the recording's end: ";
    text += why;
    if (!expected.empty()) {
        text +=
            "; expected " + hex_bytes(expected) + " at " + std::to_string(expected_baud) + " baud";
    }
    if (!received.empty()) {
        text +=
            "; received " + hex_bytes(received) + " at " + std::to_string(received_baud) + " baud";
    }
    return text;
}

namespace {

// The chunks of the device on which the meter answered: the device of the open before the first
// meter chunk, or of the first open when the meter never answered. Without opens, every chunk.
Recording meter_port_only(Recording recording) {
    const auto& chunks = recording.chunks;
    std::optional<std::string> device;
    std::optional<std::string> open_device;
    for (const auto& chunk : chunks) {
        if (chunk.kind == RecordedChunk::Kind::open) {
            open_device = chunk.device;
            if (!device) device = chunk.device;
        }
        if (chunk.kind == RecordedChunk::Kind::meter && open_device) {
            device = open_device;
            break;
        }
    }
    if (!device) return recording;
    std::vector<RecordedChunk> kept;
    bool on_device = false;
    for (auto& chunk : recording.chunks) {
        const RecordedChunk::Kind kind = chunk.kind;
        if (kind == RecordedChunk::Kind::open) on_device = chunk.device == *device;
        if (on_device) kept.push_back(std::move(chunk));
        if (kind == RecordedChunk::Kind::close) on_device = false;
    }
    recording.chunks = std::move(kept);
    return recording;
}

}  // namespace

ReplayMeter::ReplayMeter(MeterLink& link, Recording recording, ReplayTolerance tolerance)
    : link_(link), recording_(meter_port_only(std::move(recording))), tolerance_(tolerance) {
    meter_chunks_total_ = static_cast<std::size_t>(
        std::count_if(recording_.chunks.begin(), recording_.chunks.end(),
                      [](const RecordedChunk& c) { return c.kind == RecordedChunk::Kind::meter; }));
    const auto& chunks = recording_.chunks;
    recorded_end_.assign(chunks.size(), 0);
    recorded_idle_.assign(chunks.size(), 0);
    double line_free = 0;
    bool first = true;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (!is_host(chunks[i])) continue;
        const double byte_time = static_cast<double>(kBitsPerByte) / chunks[i].baud;
        recorded_idle_[i] = first ? 0 : std::max(0.0, chunks[i].time - line_free);
        recorded_end_[i] = std::max(chunks[i].time, line_free) +
                           static_cast<double>(chunks[i].bytes.size()) * byte_time;
        line_free = recorded_end_[i];
        first = false;
    }
    host_chunk_ = next_host_chunk(0);
    // What the meter sent before the host's first byte goes out as it did then.
    play_meter_chunks_after(recording_.chunks.size());
}

std::size_t ReplayMeter::next_host_chunk(std::size_t from) const {
    while (from < recording_.chunks.size() && !is_host(recording_.chunks[from])) ++from;
    return from;
}

// Sends the meter chunks that follow host chunk `host_chunk` (all before the first host chunk when
// it is chunks.size()), each as long after that chunk's last byte as it was in the recording.
void ReplayMeter::play_meter_chunks_after(std::size_t host_chunk) {
    const auto& chunks = recording_.chunks;
    const bool at_start = host_chunk >= chunks.size();
    const double anchor = at_start ? 0 : recorded_end_[host_chunk];
    for (std::size_t i = at_start ? 0 : host_chunk + 1; i < chunks.size() && !is_host(chunks[i]);
         ++i) {
        if (chunks[i].kind != RecordedChunk::Kind::meter) continue;
        const double delay = std::max(0.0, chunks[i].time - anchor);
        link_.after(delay, [this, alive = std::weak_ptr<bool>(alive_), i] {
            if (alive.expired() || divergence_) return;
            const RecordedChunk& chunk = recording_.chunks[i];
            link_.send(chunk.bytes, chunk.baud);
            ++meter_chunks_sent_;
        });
    }
}

bool ReplayMeter::receive(std::uint8_t byte, int baud) {
    if (divergence_) return false;
    const std::string received(1, static_cast<char>(byte));
    const auto& chunks = recording_.chunks;
    if (host_chunk_ >= chunks.size()) {
        diverge({.received = received,
                 .received_baud = baud,
                 .why = "the host sends more than the recording holds"});
        return false;
    }
    const RecordedChunk& chunk = chunks[host_chunk_];
    const double now = link_.now();
    if (host_offset_ == 0 && any_host_byte_) {
        // The line lay idle between the host's last byte and this one's start bit.
        const double idle = now - static_cast<double>(kBitsPerByte) / baud - last_host_byte_at_;
        const double recorded_idle = recorded_idle_[host_chunk_];
        const double allowed = tolerance_.seconds + tolerance_.share * recorded_idle;
        if (std::abs(idle - recorded_idle) > allowed) {
            char why[160];
            std::snprintf(why, sizeof why,
                          "the host chunk came after %.3f s of silence, the recording has %.3f s "
                          "(tolerance %.3f s)",
                          std::max(0.0, idle), recorded_idle, allowed);
            diverge({.line = chunk.line,
                     .expected = chunk.bytes,
                     .received = received,
                     .expected_baud = chunk.baud,
                     .received_baud = baud,
                     .why = why});
            return false;
        }
    }
    if (baud != chunk.baud || static_cast<char>(byte) != chunk.bytes[host_offset_]) {
        diverge({.line = chunk.line,
                 .offset = host_offset_,
                 .expected = chunk.bytes.substr(host_offset_),
                 .received = received,
                 .expected_baud = chunk.baud,
                 .received_baud = baud,
                 .why = baud != chunk.baud ? "another line speed" : "another byte"});
        return false;
    }
    any_host_byte_ = true;
    last_host_byte_at_ = now;
    if (++host_offset_ == chunk.bytes.size()) {
        play_meter_chunks_after(host_chunk_);
        host_chunk_ = next_host_chunk(host_chunk_ + 1);
        host_offset_ = 0;
    }
    return true;
}

bool ReplayMeter::finished() const {
    return !divergence_ && host_chunk_ >= recording_.chunks.size() &&
           meter_chunks_sent_ == meter_chunks_total_;
}

void ReplayMeter::diverge(Divergence divergence) {
    divergence_ = std::move(divergence);
    if (on_divergence_) on_divergence_(*divergence_);
}

}  // namespace r462xe::sim
