// The window system of the simulated world: its event loop on the virtual clock, Timer1, message
// boxes answered by the test, the window's show/close/end, and a sleep inhibitor that records.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/scheduler.h"
#include "ui/platform.h"
#include "ui/timer_interval.h"

namespace r462xe::sim {

// Thrown when the program ends; it passes every handler of the window (they catch only
// std::exception) up to the test.
struct ProgramEnded {};

class SimEventLoop : public EventLoop {
  public:
    explicit SimEventLoop(Scheduler& scheduler) : scheduler_(scheduler) {}
    double now() override { return scheduler_.now_seconds(); }
    void do_events() override;
    void wait_for_events(double deadline) override;
    // Lets virtual time run until `seconds`, dispatching every event on the way: the world's own
    // loop, as the program's main loop is, not a dispatch from inside a handler.
    void run_until(double seconds);
    // How many dispatches from inside handlers (do_events, wait_for_events) run now, nested in
    // each other.
    int dispatch_depth() const { return dispatch_depth_; }

  private:
    void dispatch(double deadline);

    Scheduler& scheduler_;
    int dispatch_depth_ = 0;
};

class SimTimer : public Timer {
  public:
    explicit SimTimer(Scheduler& scheduler) : scheduler_(scheduler) {}
    void set_enabled(bool enabled) override;
    bool enabled() const override { return enabled_; }
    void set_on_tick(std::function<void()> on_tick) { on_tick_ = std::move(on_tick); }
    int ticks() const { return ticks_; }

  private:
    void schedule_tick();

    Scheduler& scheduler_;
    bool enabled_ = false;
    unsigned generation_ = 0;
    int ticks_ = 0;
    std::function<void()> on_tick_;
};

struct ShownMessage {
    double time;
    std::string text;
    std::string title;
    MsgIcon icon;
    std::string details;
};

class SimMessageBoxes : public MessageBoxes {
  public:
    explicit SimMessageBoxes(SimEventLoop& events) : events_(events) {}
    // Records the box, runs the test's action for it, then lets `answer_after` seconds of
    // virtual time pass (events keep being dispatched, as under a modal box) before OK.
    void show(const std::string& text, const std::string& title, MsgIcon icon,
              const std::string& details) override;
    // Boxes on screen now (a box can open while another one waits for its OK).
    int showing() const { return showing_; }

    std::vector<ShownMessage> shown;
    double answer_after = 0.5;
    std::function<void(const ShownMessage&)> on_show;

  private:
    SimEventLoop& events_;
    int showing_ = 0;
};

struct LoggedLine {
    double time;
    std::string line;
};

// Standard error of the simulated world: every line kept, with its time.
class SimErrorLog : public ErrorLog {
  public:
    explicit SimErrorLog(SimEventLoop& events) : events_(events) {}
    void write_line(const std::string& line) override { lines.push_back({events_.now(), line}); }

    std::vector<LoggedLine> lines;

  private:
    SimEventLoop& events_;
};

class SimWindowSystem : public WindowSystem {
  public:
    InstanceClaim claim_instance() override { return claim; }
    std::filesystem::path program_folder() override { return folder; }
    std::vector<std::filesystem::path> user_data_folders() override { return user_folders; }
    // Refused when `refuse_show` is set, as a window system may fail to show a window.
    void show_window() override;
    void unload_window() override;
    [[noreturn]] void end_program(int status) override;

    // What every start finds when it claims the program's instance.
    InstanceClaim claim;
    std::filesystem::path folder = ".";
    // The folders for the user's application data; none, as on a system without them, unless a
    // test sets them.
    std::vector<std::filesystem::path> user_folders;
    bool shown = false;
    bool refuse_show = false;
    bool ended = false;
    // Asked as the program ends, when set (the runner's status); otherwise the program's own
    // status is kept in `ended_with`.
    std::function<int()> exit_status;
    int ended_with = -1;  // once ended
    int close_refusals = 0;
    // The window's close request (Form_Unload): true when it refuses to close.
    std::function<bool()> on_close_request;
};

// One call to the sleep inhibitor: a hold (with its reason) or a release, and when it came.
struct SleepCall {
    double time;
    bool hold;
    std::string why;  // empty for a release
};

class SimSleepInhibitor : public SleepInhibitor {
  public:
    explicit SimSleepInhibitor(SimEventLoop& events) : events_(events) {}
    void hold(const std::string& why) override;
    void release() override;
    // Whether the computer is held awake now: a hold came and no release after it.
    bool held() const { return !calls.empty() && calls.back().hold; }

    std::vector<SleepCall> calls;

  private:
    SimEventLoop& events_;
};

// The update history of the simulated world: the file's text kept in memory, each append seen
// whole. A test may make it refuse every append, as a read-only folder or a full disk would.
class SimUpdateHistory : public UpdateHistory {
  public:
    std::filesystem::path file() override { return path; }
    std::string append(const std::string& header, const std::string& record) override;
    LocalTime local_time() override { return clock; }
    // Stands for the system's SHA-256: notes what it was given and answers `digest`.
    std::string sha256(const std::string& bytes) override;

    std::filesystem::path path = "/home/technician/.local/state/r462xe-fwupdate/history.csv";
    // The file's whole text, header first.
    std::string text;
    // Each record appended, without its line end.
    std::vector<std::string> records;
    // Why every append fails; empty: none fails.
    std::string refusal;
    LocalTime clock{.year = 2026,
                    .month = 12,
                    .day = 11,
                    .hour = 9,
                    .minute = 41,
                    .second = 7,
                    .utc_offset_minutes = 60};
    std::string digest = "5a1e";
    std::vector<std::string> hashed;
};

}  // namespace r462xe::sim
