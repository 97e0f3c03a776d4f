#include "campaign_run.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iomanip>
#include <map>
#include <sstream>
#include <utility>

#include "rig/csv_fields.h"
#include "rig/messages.h"
#include "rig/window_rig.h"
#include "serial/mask.h"
#include "text/c_quote.h"

namespace r462xe::campaign {

namespace {

using testing::kPowerCycleTitle;
using testing::kSuccessTitle;

// The outcome of a press as the update history writes it, by the title of the message that
// ended it.
const std::map<std::string, std::string> kOutcomeOfTitle = {
    {kSuccessTitle, "updated"},
    {kPowerCycleTitle, "power cycle asked"},
    {"NO Link", "refused"},
    {"COM Port fail", "refused"},
};

// The window is looked at this often while it works on its own.
constexpr double kLookEvery = 0.25;
// How long a press may keep the window busy before the run counts as hung: a whole update with
// every wait and retry takes well under two minutes.
constexpr double kLongestPress = 400;
// How long the window must stay idle before the user takes it as done.
constexpr double kIdleSettle = 1.0;

// The meter's side of its line: everything it sends passes here first, so that a fault can lose
// a reply's bytes, hold a reply back or cut it in two, the way the meter's UART or the infrared
// path would.
class MeterSide : public sim::MeterLink {
  public:
    explicit MeterSide(sim::VirtualLine& line) : line_(line) {}

    double now() override { return line_.now(); }
    void after(double seconds, std::function<void()> action) override {
        line_.after(seconds, std::move(action));
    }
    void unplug() override { line_.unplug(); }
    void send(const std::string& bytes, int baud) override {
        std::string out = bytes;
        if (intercept && intercept(out, baud)) return;
        if (!out.empty()) line_.send(out, baud);
    }

    // May change what leaves; true when it has taken care of the bytes itself.
    std::function<bool(std::string& bytes, int baud)> intercept;

  private:
    sim::VirtualLine& line_;
};

// The bytes quoted with C escapes, long ones cut short.
std::string quoted_start(const std::string& bytes) {
    constexpr std::size_t kShown = 24;
    if (bytes.size() <= kShown) return c_quote(bytes);
    return c_quote(bytes.substr(0, kShown)) + "... (" + std::to_string(bytes.size()) + " bytes)";
}

sim::MeterFaults first_faults(const RunPlan& plan) {
    sim::MeterFaults faults;
    faults.start_in_update_mode = plan.starts_in_update_mode;
    return faults;
}

class Run {
  public:
    Run(const RunPlan& plan, Sabotage sabotage)
        : line_(rig_.world.add_port(plan.meter_port)),
          side_(line_),
          meter_(side_, {}, first_faults(plan)),
          sabotage_(sabotage) {
        out_.plan = plan;
        out_.struck.assign(plan.faults.size(), false);
        if (plan.bare_port != 0) rig_.world.add_port(plan.bare_port);
        if (plan.held_port != 0) rig_.world.add_held_port(plan.held_port);

        line_.set_device([this](std::uint8_t byte, int baud) { deliver_to_meter(byte, baud); });
        side_.intercept = [this](std::string& bytes, int baud) { return meter_sends(bytes, baud); };
        meter_.set_observer([this](const sim::MeterEvent& event) { on_meter_event(event); });

        // Every handler of the window runs through as_handler, so that the window is looked at
        // each time the outermost one returns.
        rig_.around_handler = [this](const char* handler, const std::function<void()>& body) {
            as_handler(handler, body);
        };
        rig_.world.messages.answer_after = plan.answer_after;
        rig_.world.messages.on_show = [this](const sim::ShownMessage& message) {
            on_message(message);
        };
    }

    RunOutcome go() {
        // The handlers' own exceptions are caught where they run; this catches the rest of the
        // world's, so that the run still reports its seed.
        try {
            steps();
        } catch (const std::exception& error) {
            violation(std::string("an exception escaped the simulated world: ") + error.what());
        }
        return std::move(out_);
    }

  private:
    void steps() {
        rig_.handle([this] { as_handler("Form_Load", [this] { rig_.form.Form_Load(); }); });
        // A meter found in its update mode: the user picks its entry, which offers the update.
        if (rig_.form.update_mode && !rig_.form.Command2.enabled()) {
            look_after_a_while(out_.plan.think_time, "start-up");
            rig_.handle([this] { rig_.form.COM1.user_pick(rig_.form.COM1.list_index()); });
        }
        if (!rig_.form.Command2.enabled()) {
            violation("start-up did not offer \"Upload Firmware\" for the meter");
            return;
        }
        look_after_a_while(out_.plan.think_time, "start-up");

        arm_faults();
        press(Press::upload);
        settle();
        // The first update is over: a fault that has not struck yet never will.
        if (faults_on_) end_faults("the first update is over");
        if (out_.presses.front().titles.empty()) {
            violation("the first update ended without a message");
        }
        out_.first_update_failed = out_.first_update_failed || !meter_.flash_equals(rig_.image);

        if (sabotage_ == Sabotage::disable_every_control && out_.first_update_failed) {
            rig_.form.Command1.set_enabled(false);
            rig_.form.Command2.set_enabled(false);
            rig_.form.COM1.set_enabled(false);
        }
        while (!meter_.flash_equals(rig_.image) && out_.recovery_presses() < kRecoveryPresses) {
            look_after_a_while(out_.plan.think_time, "the user thinks");
            if (!press_what_the_window_offers()) break;
            settle();
        }
        out_.updated = meter_.flash_equals(rig_.image);
        check_history();
    }

    // Every press of "Upload Firmware" left one record in the update history, whose outcome is
    // what the press's message told the user.
    void check_history() {
        std::vector<std::string> shown;
        for (const PressRecord& press : out_.presses) {
            if (press.button != Press::upload) continue;
            std::string outcome = "no message";
            for (const auto& title : press.titles) {
                if (const auto found = kOutcomeOfTitle.find(title); found != kOutcomeOfTitle.end())
                    outcome = found->second;
            }
            shown.push_back(outcome);
        }
        std::vector<std::string> written;
        for (const auto& record : rig_.world.history.records)
            written.push_back(testing::csv_fields(record).at(testing::kOutcome));
        if (written != shown) {
            auto joined = [](const std::vector<std::string>& outcomes) {
                std::string text;
                for (const auto& outcome : outcomes) text += (text.empty() ? "" : ", ") + outcome;
                return "[" + text + "]";
            };
            violation("the update history says " + joined(written) + " where the window showed " +
                      joined(shown));
        }
    }

    // --- the user -------------------------------------------------------------------------

    bool press_what_the_window_offers() {
        const Form1& form = rig_.form;
        if (form.Command2.enabled()) {
            press(Press::upload);
        } else if (form.Command1.enabled()) {
            press(Press::search);
        } else if (form.COM1.enabled()) {
            press(Press::pick);
        } else {
            violation("the user finds nothing to press");
            return false;
        }
        return true;
    }

    void press(Press button) {
        Form1& form = rig_.form;
        PressRecord record;
        record.button = button;
        record.time = rig_.world.now();
        record.meter_in_update_mode = meter_.in_update_mode();
        record.window_update_mode = form.update_mode;
        record.port_open = form.MSComm1.PortOpen();
        record.port_settings = form.MSComm1.Settings();
        out_.presses.push_back(record);
        wire_at_press_ = line_.wire().size();
        log(std::string("press: ") + press_name(button));
        rig_.handle([&] {
            as_handler(press_name(button), [&] {
                switch (button) {
                    case Press::upload:
                        form.Command2_Click();
                        break;
                    case Press::search:
                        form.Command1_Click();
                        break;
                    case Press::pick:
                        form.COM1.user_pick(form.COM1.list_index());
                        break;
                }
            });
        });
    }

    PressRecord& last_press() { return out_.presses.back(); }

    // Lets the window work until it has been idle for a while: no update running, no handler.
    void settle() {
        const double start = rig_.world.now();
        double idle_since = -1;
        while (!rig_.ended()) {
            look_after_a_while(kLookEvery, "a pause");
            const bool idle = !rig_.form.upload_running && !rig_.world.timer.enabled();
            if (!idle) {
                idle_since = -1;
            } else if (idle_since < 0) {
                idle_since = rig_.world.now();
            } else if (rig_.world.now() - idle_since >= kIdleSettle) {
                break;
            }
            if (rig_.world.now() - start > kLongestPress) {
                violation("the window is still busy long after the press");
                break;
            }
        }
        PressRecord& record = last_press();
        const auto& wire = line_.wire();
        for (std::size_t i = wire_at_press_; i < wire.size(); ++i) {
            if (!wire[i].from_host) continue;
            if (record.first_write.empty()) {
                record.first_write = wire[i].bytes;
                record.first_write_baud = wire[i].baud;
            }
            if (wire[i].bytes.size() == 1024) ++record.frames_sent;
        }
    }

    void look_after_a_while(double seconds, const char* what) {
        rig_.run_for(seconds);
        check_quiet(what);
    }

    void on_message(const sim::ShownMessage& message) {
        log("message: " + message.title);
        if (!out_.presses.empty()) last_press().titles.push_back(message.title);
        if (message.title == kSuccessTitle) {
            // Never a false success: the meter runs its new firmware.
            if (meter_.in_update_mode() || meter_.restarting()) {
                violation("the success message while the meter is not back in its normal mode");
            }
            if (!meter_.flash_equals(rig_.image)) {
                violation("the success message while the meter's flash lacks the image");
            }
            return;
        }
        if (out_.presses.size() == 1) out_.first_update_failed = true;
        // The user reads the message, finds the cable out or the meter odd, and puts it right.
        end_faults("the user reads \"" + message.title + "\"");
        if (message.title == kPowerCycleTitle) {
            log("the user power-cycles the meter");
            meter_.power_cycle();
        }
    }

    // --- the window's rules -----------------------------------------------------------------

    template <class Body>
    void as_handler(const std::string& name, Body&& body) {
        {
            struct Depth {
                int& depth;
                explicit Depth(int& d) : depth(++d) {}
                ~Depth() { --depth; }
            } depth(depth_);
            try {
                body();
            } catch (const std::exception& error) {
                violation("an exception escaped " + name + ": " + error.what());
            }
        }
        if (depth_ == 0) check_quiet(name.c_str());
    }

    // What must hold whenever no handler of the window is running.
    void check_quiet(const char* after) {
        const Form1& form = rig_.form;
        const std::string when = std::string(" (after ") + after + ")";
        if (rig_.ended()) violation("the program ended" + when);
        if (form.upload_running && !rig_.world.timer.enabled()) {
            violation("upload_running stays true with Timer1 off" + when);
        }
        if (!form.upload_running && !form.Command1.enabled() && !form.Command2.enabled() &&
            !form.COM1.enabled()) {
            violation("Command1, Command2 and COM1 all disabled while no update runs" + when);
        }
        // The computer is kept awake exactly while an update runs, by one hold at a time.
        const auto& sleep = rig_.world.sleep;
        if (form.upload_running && !sleep.held()) {
            violation("an update runs while the computer may sleep" + when);
        }
        if (!form.upload_running && sleep.held()) {
            violation("the computer is kept awake while no update runs" + when);
        }
        for (std::size_t i = 1; i < sleep.calls.size(); ++i) {
            if (sleep.calls[i - 1].hold && sleep.calls[i].hold) {
                violation("the computer is held awake twice over" + when);
            }
        }
    }

    void violation(const std::string& what) {
        for (const auto& seen : out_.violations) {
            if (seen.find(what) != std::string::npos) return;
        }
        out_.violations.push_back(stamp() + what);
        log("RULE BROKEN: " + what);
    }

    // --- the faults ------------------------------------------------------------------------

    void arm_faults() {
        faults_on_ = true;
        log("faults armed");
        for (std::size_t i = 0; i < out_.plan.faults.size(); ++i) arm(i, out_.plan.faults[i]);
    }

    void at(double seconds, std::function<void()> action) {
        rig_.world.scheduler.after(seconds, [this, action = std::move(action)] {
            if (faults_on_) action();
        });
    }

    void strike(std::size_t index, const std::string& what) {
        out_.struck[index] = true;
        log("fault: " + what);
    }

    void plug_back_after(double seconds) {
        rig_.world.scheduler.after(seconds, [this] {
            if (line_.plugged()) return;
            line_.plug_in();
            log("the cable is back in");
        });
    }

    void arm(std::size_t i, const Fault& fault) {
        auto& faults = meter_.faults();
        switch (fault.kind) {
            case FaultKind::garbage:
                at(fault.at, [this, i, fault] {
                    line_.send(fault.bytes, meter_.baud());
                    strike(i, "garbage at " + std::to_string(meter_.baud()) + " baud");
                });
                break;
            case FaultKind::slow_replies:
                at(fault.at, [this, i, fault] {
                    meter_.faults().reply_delay = fault.seconds;
                    strike(i, "replies slow");
                    at(fault.lasts, [this] {
                        meter_.faults().reply_delay = sim::MeterFaults{}.reply_delay;
                        log("replies quick again");
                    });
                });
                break;
            case FaultKind::late_verdict:
            case FaultKind::split_verdict:
            case FaultKind::rejections:
                block_faults_.push_back(i);
                if (fault.kind == FaultKind::rejections) {
                    rejections_left_ = fault.blocks;
                    faults.reject_always = true;
                    faults.reject_block = rejections_left_.front();
                }
                break;
            case FaultKind::lost_host_bytes:
                host_loss_ = {true, fault.skip, fault.count, i};
                break;
            case FaultKind::lost_meter_bytes:
                at(fault.at, [this, i, fault] {
                    meter_loss_ += fault.count;
                    meter_loss_fault_ = i;
                });
                break;
            case FaultKind::reject_always:
                faults.reject_block = fault.block;
                faults.reject_always = true;
                block_faults_.push_back(i);
                break;
            case FaultKind::cable_pull:
                at(fault.at, [this, i, fault] {
                    if (!line_.plugged()) return;
                    line_.unplug();
                    strike(i, "the cable is pulled");
                    plug_back_after(fault.seconds);
                });
                break;
            case FaultKind::cable_pull_at_block:
                faults.unplug_at_block = fault.block;
                block_faults_.push_back(i);
                break;
            case FaultKind::power_cycle:
                at(fault.at, [this, i] {
                    meter_.power_cycle();
                    strike(i, "power cycle");
                });
                break;
            case FaultKind::slow_restart:
                faults.restart_seconds = fault.seconds;
                slow_restart_fault_ = i;
                break;
            case FaultKind::lost_plain_enter:
                faults.miss_enter_first = 1;
                lost_plain_enter_fault_ = static_cast<int>(i);
                break;
            case FaultKind::hang_after_leave:
                faults.hang_after_leave = true;
                hang_after_leave_fault_ = static_cast<int>(i);
                break;
        }
    }

    void end_faults(const std::string& why) {
        if (!faults_on_) return;
        if (sabotage_ == Sabotage::keep_the_faults) return;
        faults_on_ = false;
        meter_.faults() = sim::MeterFaults{};
        if (!line_.plugged()) line_.plug_in();
        pending_reply_ = nullptr;
        meter_loss_ = 0;
        host_loss_.armed = false;
        rejections_left_.clear();
        log("faults over: " + why);
    }

    // A host byte has crossed the line.
    void deliver_to_meter(std::uint8_t byte, int baud) {
        if (faults_on_ && host_loss_.armed) {
            if (host_loss_.skip > 0) {
                --host_loss_.skip;
            } else if (host_loss_.count > 0) {
                --host_loss_.count;
                strike(host_loss_.fault, "a host byte is lost");
                return;
            }
        }
        meter_.receive(byte, baud);
    }

    // What the meter still holds back goes, unless a restart or a power cycle wiped it first.
    void send_later(double seconds, std::string bytes, int baud) {
        line_.after(seconds, [this, life = meter_life_, bytes = std::move(bytes), baud] {
            if (life == meter_life_) line_.send(bytes, baud);
        });
    }

    // The meter transmits: a fault may take the reply over.
    bool meter_sends(std::string& bytes, int baud) {
        if (!faults_on_) return false;
        if (pending_reply_) {
            auto play = std::exchange(pending_reply_, nullptr);
            play(bytes, baud);
            return true;
        }
        if (meter_loss_ > 0) {
            const auto lost =
                std::min<std::size_t>(static_cast<std::size_t>(meter_loss_), bytes.size());
            bytes.erase(0, lost);
            meter_loss_ -= static_cast<int>(lost);
            strike(meter_loss_fault_, "meter bytes lost");
        }
        return false;
    }

    void on_meter_event(const sim::MeterEvent& event) {
        using Kind = sim::MeterEvent::Kind;
        switch (event.kind) {
            case Kind::block:
                if (event.summary.find(" ok") == std::string::npos) log("meter: " + event.summary);
                if (faults_on_) on_block(static_cast<std::uint8_t>(event.text[0]), event.summary);
                break;
            case Kind::line:
                if (faults_on_ && lost_plain_enter_fault_ >= 0 && event.text == "UPGR 1\r\n" &&
                    !out_.struck[static_cast<std::size_t>(lost_plain_enter_fault_)]) {
                    strike(static_cast<std::size_t>(lost_plain_enter_fault_),
                           "the plain \"UPGR 1\" goes unheard");
                }
                [[fallthrough]];
            case Kind::command:
                log("meter: " + quoted_start(event.text) + " at " + std::to_string(event.baud) +
                    (event.summary.empty() ? "" : ", " + event.summary));
                break;
            case Kind::partial_dropped:
                log("meter: dropped " + std::to_string(event.text.size()) + " byte(s), " +
                    event.summary);
                break;
            case Kind::restart_begun:
                ++meter_life_;
                if (faults_on_ && slow_restart_fault_ >= 0) {
                    strike(static_cast<std::size_t>(slow_restart_fault_), "slow restart");
                }
                if (faults_on_ && hang_after_leave_fault_ >= 0 &&
                    event.reason == sim::RestartReason::leave_update) {
                    strike(static_cast<std::size_t>(hang_after_leave_fault_),
                           "the meter hangs after \"UPGR 0\"");
                }
                log("meter: " + event.summary);
                break;
            case Kind::power_cycled:
                ++meter_life_;
                log("meter: " + event.summary);
                break;
            case Kind::restart_done:
                log("meter: " + event.summary);
                break;
            case Kind::unplugged:
                log("meter: the cable is pulled");
                break;
        }
    }

    void on_block(int number, const std::string& summary) {
        for (const std::size_t i : block_faults_) {
            const Fault& fault = out_.plan.faults[i];
            switch (fault.kind) {
                case FaultKind::late_verdict:
                    if (number != fault.block || out_.struck[i]) break;
                    strike(i, "the verdict is held back");
                    pending_reply_ = [this, fault](const std::string& bytes, int baud) {
                        send_later(fault.seconds, bytes, baud);
                    };
                    break;
                case FaultKind::split_verdict:
                    if (number != fault.block || out_.struck[i]) break;
                    strike(i, "the verdict comes in two pieces");
                    pending_reply_ = [this, fault](const std::string& bytes, int baud) {
                        line_.send(bytes, baud);
                        send_later(fault.gap, masked(fault.bytes), baud);
                    };
                    break;
                case FaultKind::rejections:
                    if (rejections_left_.empty() || number != rejections_left_.front()) break;
                    if (summary.find("(fault)") == std::string::npos) break;
                    strike(i, "block " + std::to_string(number) + " rejected");
                    rejections_left_.erase(rejections_left_.begin());
                    meter_.faults().reject_block =
                        rejections_left_.empty() ? -1 : rejections_left_.front();
                    break;
                case FaultKind::reject_always:
                    if (summary.find("(fault)") != std::string::npos && !out_.struck[i]) {
                        strike(i, "block " + std::to_string(number) + " rejected for good");
                    }
                    break;
                case FaultKind::cable_pull_at_block:
                    if (number != fault.block || out_.struck[i]) break;
                    strike(i, "the cable is pulled at block " + std::to_string(number));
                    plug_back_after(fault.seconds);
                    break;
                default:
                    break;
            }
        }
    }

    // --- the record -------------------------------------------------------------------------

    std::string stamp() const {
        std::ostringstream out;
        out << std::fixed << std::setprecision(3) << "[" << rig_.world.now() << "] ";
        return out.str();
    }

    void log(const std::string& line) { out_.log.push_back(stamp() + line); }

    testing::WindowRig rig_;
    sim::VirtualLine& line_;
    MeterSide side_;
    sim::Meter meter_;
    Sabotage sabotage_;
    RunOutcome out_;
    int depth_ = 0;
    std::size_t wire_at_press_ = 0;

    bool faults_on_ = false;
    std::vector<std::size_t> block_faults_;
    std::vector<int> rejections_left_;
    std::function<void(const std::string&, int)> pending_reply_;
    int meter_loss_ = 0;
    std::size_t meter_loss_fault_ = 0;
    struct HostLoss {
        bool armed = false;
        int skip = 0;
        int count = 0;
        std::size_t fault = 0;
    } host_loss_;
    int slow_restart_fault_ = -1;
    int lost_plain_enter_fault_ = -1;
    int hang_after_leave_fault_ = -1;
    int meter_life_ = 0;  // restarts and power cycles so far
};

}  // namespace

const char* press_name(Press press) {
    switch (press) {
        case Press::upload:
            return "Upload Firmware";
        case Press::search:
            return "Auto Search COM Port";
        case Press::pick:
            return "the port list";
    }
    return "?";
}

int RunOutcome::faults_struck() const {
    return static_cast<int>(std::count(struck.begin(), struck.end(), true));
}

std::string RunOutcome::report() const {
    std::ostringstream out;
    out << plan.describe() << "\n";
    for (std::size_t i = 0; i < plan.faults.size(); ++i) {
        out << "  fault " << i + 1 << (struck[i] ? " struck" : " never struck") << "\n";
    }
    for (const auto& violation : violations) out << "  BROKEN: " << violation << "\n";
    if (first_update_failed && update_bears_every_fault(plan)) {
        out << "  BROKEN: the first update failed although it should bear every fault\n";
    }
    out << "  first update " << (first_update_failed ? "failed" : "succeeded") << "; "
        << recovery_presses() << " press(es) after it; image "
        << (updated ? "in the meter" : "NOT in the meter");
    out << "\n  presses:\n";
    for (const auto& press : presses) {
        out << "    " << std::fixed << std::setprecision(3) << press.time << " "
            << press_name(press.button) << ": meter "
            << (press.meter_in_update_mode ? "update" : "normal") << " mode, window update_mode "
            << press.window_update_mode << ", port "
            << (press.port_open ? "open " + press.port_settings : std::string("closed"))
            << ", first write " << quoted_start(press.first_write) << " at "
            << press.first_write_baud << ", " << press.frames_sent << " frame(s), messages:";
        for (const auto& title : press.titles) out << " [" << title << "]";
        out << "\n";
    }
    out << "  log:\n";
    for (const auto& line : log) out << "    " << line << "\n";
    return out.str();
}

RunOutcome run_plan(const RunPlan& plan, Sabotage sabotage) {
    Run run(plan, sabotage);
    return run.go();
}

RunOutcome run_seed(unsigned seed) {
    return run_plan(draw_plan(seed));
}

}  // namespace r462xe::campaign
