#include "fault_plan.h"

#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <random>
#include <sstream>

#include "serial/mask.h"
#include "text/c_quote.h"

namespace r462xe::campaign {

namespace {

// The first update, from the press to the success message, takes about 66 s of virtual time:
// 12 s to enter the update mode, about 40 s of blocks, 10 s for the meter's restart and the
// identification. Timed faults fall anywhere in it.
constexpr double kUpdateSeconds = 68;
// Bytes the host sends in one whole update: two commands, 60 frames, the closing command.
constexpr int kCommandBytes = 8;
constexpr int kFrameBytes = 1026;
constexpr int kUpdateBytes = 2 * kCommandBytes + 60 * kFrameBytes + kCommandBytes;

// Draws from mt19937's own output only: its sequence is fixed by the standard, while the
// standard distributions may differ between libraries, and a seed must replay anywhere.
class Dice {
  public:
    explicit Dice(unsigned seed) : engine_(seed) {}
    // lo to hi, both included.
    int between(int lo, int hi) {
        return lo + static_cast<int>(engine_() % static_cast<std::uint32_t>(hi - lo + 1));
    }
    double real(double lo, double hi) { return lo + (hi - lo) * (engine_() / 4294967296.0); }
    bool chance(double p) { return real(0, 1) < p; }
    template <class T>
    const T& pick(const std::vector<T>& from) {
        return from[static_cast<std::size_t>(between(0, static_cast<int>(from.size()) - 1))];
    }

  private:
    std::mt19937 engine_;
};

std::string garbage_bytes(Dice& dice) {
    // Half the time the meter's own words where they do not belong, half the time line noise.
    if (dice.chance(0.5)) {
        return dice.pick(std::vector<std::string>{masked("0"), masked("1"), masked("5"),
                                                  masked("ACK\r\n"), masked("\r\n"), "0"});
    }
    std::string bytes(static_cast<std::size_t>(dice.between(1, 8)), '\0');
    for (char& c : bytes) c = static_cast<char>(dice.between(0, 255));
    return bytes;
}

int lost_bytes_offset(Dice& dice) {
    const double where = dice.real(0, 1);
    if (where < 0.2) return dice.between(0, kCommandBytes - 1);  // the plain "UPGR 1"
    if (where < 0.3) return dice.between(kCommandBytes, 2 * kCommandBytes - 1);  // masked
    if (where < 0.4) return dice.between(kUpdateBytes - kCommandBytes, kUpdateBytes - 1);
    return dice.between(0, kUpdateBytes - 1);
}

Fault draw_fault(Dice& dice, FaultKind kind) {
    Fault fault;
    fault.kind = kind;
    switch (kind) {
        case FaultKind::garbage:
            fault.at = dice.real(0, kUpdateSeconds);
            fault.bytes = garbage_bytes(dice);
            break;
        case FaultKind::slow_replies:
            fault.at = dice.real(0, kUpdateSeconds);
            fault.seconds = dice.real(0.3, 8);
            fault.lasts = dice.real(0.5, 15);
            break;
        case FaultKind::late_verdict:
            fault.block = dice.between(0, 59);
            fault.seconds = dice.real(0.2, 8);
            break;
        case FaultKind::split_verdict:
            fault.block = dice.between(0, 59);
            fault.bytes = dice.pick(std::vector<std::string>{"\r\n", "\r", "0", "1"});
            fault.gap = dice.real(0, 0.6);
            break;
        case FaultKind::lost_host_bytes:
            fault.skip = lost_bytes_offset(dice);
            fault.count = dice.between(1, 4);
            break;
        case FaultKind::lost_meter_bytes:
            fault.at = dice.real(0, kUpdateSeconds);
            fault.count = dice.between(1, 3);
            break;
        case FaultKind::rejections: {
            const int how_many = dice.between(2, 14);
            while (static_cast<int>(fault.blocks.size()) < how_many) {
                const int block = dice.between(0, 59);
                if (std::find(fault.blocks.begin(), fault.blocks.end(), block) ==
                    fault.blocks.end()) {
                    fault.blocks.push_back(block);
                }
            }
            std::sort(fault.blocks.begin(), fault.blocks.end());
            break;
        }
        case FaultKind::reject_always:
            fault.block = dice.between(0, 59);
            break;
        case FaultKind::cable_pull:
            fault.at = dice.real(0, kUpdateSeconds);
            fault.seconds = dice.real(0.05, 30);
            break;
        case FaultKind::cable_pull_at_block:
            fault.block = dice.between(0, 59);
            fault.seconds = dice.real(0.05, 30);
            break;
        case FaultKind::power_cycle:
            fault.at = dice.real(0, kUpdateSeconds);
            break;
        case FaultKind::slow_restart:
            fault.seconds = dice.real(2.5, 8);
            break;
        case FaultKind::lost_plain_enter:
        case FaultKind::hang_after_leave:
            break;
    }
    return fault;
}

bool is_rejection(FaultKind kind) {
    return kind == FaultKind::rejections || kind == FaultKind::reject_always;
}

std::string hex(const std::string& bytes) {
    std::ostringstream out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out << (i ? " " : "") << std::hex << std::setw(2) << std::setfill('0')
            << (static_cast<unsigned>(bytes[i]) & 0xFF);
    }
    return out.str();
}

}  // namespace

const char* kind_name(FaultKind kind) {
    switch (kind) {
        case FaultKind::garbage:
            return "garbage";
        case FaultKind::slow_replies:
            return "slow-replies";
        case FaultKind::late_verdict:
            return "late-verdict";
        case FaultKind::split_verdict:
            return "split-verdict";
        case FaultKind::lost_host_bytes:
            return "lost-host-bytes";
        case FaultKind::lost_meter_bytes:
            return "lost-meter-bytes";
        case FaultKind::rejections:
            return "rejections";
        case FaultKind::reject_always:
            return "reject-always";
        case FaultKind::cable_pull:
            return "cable-pull";
        case FaultKind::cable_pull_at_block:
            return "cable-pull-at-block";
        case FaultKind::power_cycle:
            return "power-cycle";
        case FaultKind::slow_restart:
            return "slow-restart";
        case FaultKind::lost_plain_enter:
            return "lost-plain-enter";
        case FaultKind::hang_after_leave:
            return "hang-after-leave";
    }
    return "?";
}

std::string Fault::describe() const {
    std::ostringstream out;
    out << std::fixed << std::setprecision(3) << kind_name(kind);
    switch (kind) {
        case FaultKind::garbage:
            out << " at +" << at << " s: [" << hex(bytes) << "]";
            break;
        case FaultKind::slow_replies:
            out << " at +" << at << " s: replies " << seconds << " s late for " << lasts << " s";
            break;
        case FaultKind::late_verdict:
            out << " block " << block << ": " << seconds << " s late";
            break;
        case FaultKind::split_verdict:
            out << " block " << block << ": verdict, then " << c_quote(bytes) << " " << gap
                << " s later";
            break;
        case FaultKind::lost_host_bytes:
            out << ": " << count << " byte(s) after the first " << skip << " of the press";
            break;
        case FaultKind::lost_meter_bytes:
            out << " at +" << at << " s: the next " << count << " byte(s)";
            break;
        case FaultKind::rejections:
            out << ": blocks";
            for (int block : blocks) out << ' ' << block;
            out << " once each";
            break;
        case FaultKind::reject_always:
            out << ": block " << block;
            break;
        case FaultKind::cable_pull:
            out << " at +" << at << " s, back " << seconds << " s later";
            break;
        case FaultKind::cable_pull_at_block:
            out << ": block " << block << ", back " << seconds << " s later";
            break;
        case FaultKind::power_cycle:
            out << " at +" << at << " s";
            break;
        case FaultKind::slow_restart:
            out << ": " << seconds << " s";
            break;
        case FaultKind::lost_plain_enter:
        case FaultKind::hang_after_leave:
            break;
    }
    return out.str();
}

std::string RunPlan::describe() const {
    std::ostringstream out;
    out << "seed " << seed << ": meter on COM" << meter_port;
    if (bare_port != 0) out << ", bare COM" << bare_port;
    if (held_port != 0) out << ", held COM" << held_port;
    if (starts_in_update_mode) out << ", meter starts in update mode";
    out << std::fixed << std::setprecision(2) << ", answers after " << answer_after << " s, thinks "
        << think_time << " s; " << faults.size() << " fault(s)";
    for (const auto& fault : faults) out << "\n    " << fault.describe();
    return out.str();
}

bool update_bears_every_fault(const RunPlan& plan) {
    // A verdict must be read within 50 ticks (5 s) of its block leaving, and the frame takes
    // 0.534 s to cross: two delays of 2 s each still leave room.
    constexpr double kBorneDelay = 2.0;
    constexpr int kBorneRejections = 10;
    return std::all_of(plan.faults.begin(), plan.faults.end(), [](const Fault& fault) {
        switch (fault.kind) {
            case FaultKind::slow_restart:  // under the 9 s and 10 s waits
                return true;
            case FaultKind::late_verdict:
            case FaultKind::slow_replies:
                return fault.seconds <= kBorneDelay;
            case FaultKind::rejections:
                return static_cast<int>(fault.blocks.size()) <= kBorneRejections;
            default:
                return false;
        }
    });
}

RunPlan draw_plan(unsigned seed) {
    Dice dice(seed);
    RunPlan plan;
    plan.seed = seed;
    plan.meter_port = dice.between(1, 6);
    if (dice.chance(0.5)) {
        do plan.bare_port = dice.between(1, 8);
        while (plan.bare_port == plan.meter_port);
    }
    if (dice.chance(0.2)) {
        do plan.held_port = dice.between(1, 8);
        while (plan.held_port == plan.meter_port || plan.held_port == plan.bare_port);
    }
    plan.starts_in_update_mode = dice.chance(0.15);
    plan.answer_after = dice.real(0.3, 4);
    plan.think_time = dice.real(0.5, 6);

    const double how_many = dice.real(0, 1);
    const int faults = how_many < 0.04 ? 0 : how_many < 0.5 ? 1 : how_many < 0.85 ? 2 : 3;
    while (static_cast<int>(plan.faults.size()) < faults) {
        const auto kind = static_cast<FaultKind>(dice.between(0, kFaultKinds - 1));
        // One rejection pattern and one restart time per meter.
        const bool clash = std::any_of(plan.faults.begin(), plan.faults.end(), [&](const Fault& f) {
            return (is_rejection(kind) && is_rejection(f.kind)) ||
                   (kind == FaultKind::slow_restart && f.kind == kind);
        });
        if (!clash) plan.faults.push_back(draw_fault(dice, kind));
    }
    return plan;
}

}  // namespace r462xe::campaign
