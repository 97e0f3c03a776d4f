// The upload tests' rig: the window rig with every Timer1 tick numbered from the last press of
// "Upload Firmware" and timed, actions hooked after a chosen tick, and readings of what the host
// wrote on the meter's line since that press.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "rig/window_rig.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe::testing {

inline constexpr int kNormalBaud = 9600;
inline constexpr int kUpdateBaud = 19200;
inline constexpr int kMeterPort = 3;

// What controls() reads once an update has given everything back.
inline constexpr const char* kAllControlsBack =
    "Command1 on, COM1 on, Command2 on, Label6 hidden, Timer1 off, running off";

struct HostWrite {
    double time;
    std::string bytes;
    int baud;
};

// One block frame as the host wrote it: its three writes (1 + 1024 + 1 bytes, same instant)
// joined.
struct SentFrame {
    double time;
    int block;  // the number, unmasked
    std::string bytes;
};

class UploadRig : public WindowRig {
  public:
    UploadRig() {
        around_handler = [this](const char* handler, const std::function<void()>& body) {
            if (std::string_view(handler) != "Timer1_Timer") return body();
            const int tick = world.timer.ticks() - ticks_at_press_;
            tick_times_.push_back(world.now());
            body();
            if (const auto hooks = after_tick.find(tick); hooks != after_tick.end()) {
                for (const auto& hook : hooks->second) hook();
            }
        };
    }

    // Actions to run right after tick n (counted from the last press) has been handled.
    std::map<int, std::vector<std::function<void()>>> after_tick;

    sim::VirtualLine& line() { return world.line(kMeterPort); }

    // The user presses "Upload Firmware"; the line's record and the control changes are read
    // from here on.
    void press_upload() {
        ticks_at_press_ = world.timer.ticks();
        line().clear_wire();
        changes_at_press_ = changes.size();
        messages_at_press_ = world.messages.shown.size();
        press_time_ = world.now();
        handle([&] { form.Command2_Click(); });
    }

    double press_time() const { return press_time_; }
    // How many changes the window had made before the press.
    std::size_t changes_at_press() const { return changes_at_press_; }
    // When tick n since the press ran.
    double tick_time(int n) const {
        return tick_times_.at(static_cast<std::size_t>(ticks_at_press_ + n - 1));
    }
    int ticks_since_press() const { return world.timer.ticks() - ticks_at_press_; }

    std::vector<HostWrite> host_writes() {
        std::vector<HostWrite> writes;
        for (const auto& record : line().wire()) {
            if (record.from_host) writes.push_back({record.time, record.bytes, record.baud});
        }
        return writes;
    }

    std::vector<SentFrame> frames() {
        const auto writes = host_writes();
        std::vector<SentFrame> found;
        for (std::size_t i = 0; i + 2 < writes.size(); ++i) {
            const auto& number = writes[i];
            const auto& data = writes[i + 1];
            const auto& check = writes[i + 2];
            if (number.bytes.size() != 1 || data.bytes.size() != 1024 || check.bytes.size() != 1)
                continue;
            if (data.time != number.time || check.time != number.time) continue;
            // Unmasked as the meter model unmasks it, not with the updater's own mask.
            const int block = static_cast<std::uint8_t>(number.bytes[0]) ^ sim::kMask;
            found.push_back({number.time, block, number.bytes + data.bytes + check.bytes});
            i += 2;
        }
        return found;
    }

    std::vector<int> frame_blocks() {
        std::vector<int> blocks;
        for (const auto& frame : frames()) blocks.push_back(frame.block);
        return blocks;
    }

    // Values shown by the progress bar since the press, in order.
    std::vector<std::string> progress_values() const {
        std::vector<std::string> values;
        const std::string prefix = "ProgressBar1.value ";
        for (std::size_t i = changes_at_press_; i < changes.size(); ++i) {
            if (changes[i].line.rfind(prefix, 0) == 0)
                values.push_back(changes[i].line.substr(prefix.size()));
        }
        return values;
    }

    // When the control change `line` (e.g. "ProgressBar1.value 0") last happened since the press;
    // -1 if it did not.
    double last_change_time(const std::string& change) const {
        double time = -1;
        for (std::size_t i = changes_at_press_; i < changes.size(); ++i) {
            if (changes[i].line == change) time = changes[i].time;
        }
        return time;
    }

    std::vector<sim::ShownMessage> messages_since_press() const {
        return {world.messages.shown.begin() + static_cast<long>(messages_at_press_),
                world.messages.shown.end()};
    }

    // The controls an update gives back or keeps, in one line that a failed test prints whole.
    std::string controls() {
        auto on = [](bool enabled) { return enabled ? "on" : "off"; };
        return std::string("Command1 ") + on(form.Command1.enabled()) + ", COM1 " +
               on(form.COM1.enabled()) + ", Command2 " + on(form.Command2.enabled()) + ", Label6 " +
               (form.Label6.visible() ? "shown" : "hidden") + ", Timer1 " +
               on(world.timer.enabled()) + ", running " + on(form.upload_running);
    }

  private:
    std::vector<double> tick_times_;
    int ticks_at_press_ = 0;
    std::size_t changes_at_press_ = 0;
    std::size_t messages_at_press_ = 0;
    double press_time_ = 0;
};

}  // namespace r462xe::testing
