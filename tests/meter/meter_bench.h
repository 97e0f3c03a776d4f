// The meter's own tests in virtual time: the host end of the line (Bench), the image and the
// frames it is sent, written out apart from the updater's preparation.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "meter/fake_meter_link.h"
#include "sim/meter/meter.h"

namespace r462xe::sim::test {

using Sent = FakeMeterLink::Sent;

inline constexpr double kSettle = 0.1;  // time after a request within which a reply must have come

// The host end of the line: a UART that sends one byte after another.
class Bench {
  public:
    explicit Bench(MeterFaults faults = {}, MeterIdentity identity = {})
        : meter(link, std::move(identity), std::move(faults)) {}

    // Queues `bytes` after whatever the host is still sending, `idle_before` seconds later; each
    // byte reaches the meter once its stop bit has crossed.
    void host_sends(const std::string& bytes, int baud, double idle_before = 0) {
        const double start = std::max(link.now(), line_free_at_) + idle_before;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const double at = start + double(i + 1) * byte_seconds(baud);
            const auto byte = static_cast<std::uint8_t>(bytes[i]);
            link.after(at - link.now(), [this, byte, baud] { meter.receive(byte, baud); });
        }
        line_free_at_ = start + double(bytes.size()) * byte_seconds(baud);
    }

    // Sends and waits `settle` seconds after the last byte; what the meter sent meanwhile.
    std::vector<Sent> exchange(const std::string& bytes, int baud, double settle = kSettle) {
        const std::size_t first = link.sent().size();
        host_sends(bytes, baud);
        link.run_until(line_free_at_ + settle);
        return {link.sent().begin() + first, link.sent().end()};
    }

    std::string exchange_text(const std::string& bytes, int baud, double settle = kSettle) {
        std::string all;
        for (const Sent& sent : exchange(bytes, baud, settle)) all += sent.bytes;
        return all;
    }

    double line_free_at() const { return line_free_at_; }

    FakeMeterLink link;
    Meter meter;

  private:
    double line_free_at_ = 0;
};

inline MeterFaults update_mode_faults() {
    MeterFaults faults;
    faults.start_in_update_mode = true;
    return faults;
}

inline std::string random_image(std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string image(kImageSize, '\0');
    for (char& c : image) c = static_cast<char>(byte(generator));
    return image;
}

// Transfer block n as the updater prepares it, written out here on its own so that the meter's
// undoing is checked against an independent statement of the layout: file block 59 - n, bytes
// in reverse order, hexadecimal digits exchanged.
inline std::string transfer_block(const std::string& image, int n) {
    const std::size_t file_block = kBlockCount - 1 - n;
    std::string data;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        const auto byte = static_cast<std::uint8_t>(image[file_block * kBlockSize + 1023 - i]);
        data.push_back(static_cast<char>(((byte & 0x0F) << 4) | ((byte & 0xF0) >> 4)));
    }
    return data;
}

// [n, data, check] unmasked, the check byte as the updater computes it.
inline std::string plain_frame(const std::string& image, int n) {
    const std::string data = transfer_block(image, n);
    unsigned sum = 0;
    for (char c : data) sum += static_cast<std::uint8_t>(c);
    const auto check = static_cast<std::uint8_t>(255 - (sum + n) % 256);
    return static_cast<char>(n) + data + static_cast<char>(check);
}

inline std::string on_wire(std::string plain) {
    for (char& c : plain) c = static_cast<char>(c ^ 0x6B);
    return plain;
}

inline std::string frame_on_wire(const std::string& image, int n) {
    return on_wire(plain_frame(image, n));
}

inline const std::string kImage = random_image(462);
inline const std::string kIdnLine = "*IDN?\r\n";
inline const std::string kIdentityReply = "Marelind,R4622E,SN55250001,V3.05\r\n";
inline const std::string kProbe(1028, '\n');

}  // namespace r462xe::sim::test
