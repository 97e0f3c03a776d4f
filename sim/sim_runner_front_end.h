// The runner's front end in the simulated world: virtual time, the world's message boxes, serial
// port and window system. The window's events reach `form` as the caller wired them (the test
// rig), as the Qt program wires them for the real runner.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "app/form1.h"
#include "runner/front_end.h"
#include "sim/world.h"

namespace r462xe::sim {

class SimRunnerFrontEnd : public runner::FrontEnd {
  public:
    // What run_events returns when the program has not ended within `run_limit`.
    static constexpr int kStillRunning = -1;

    SimRunnerFrontEnd(World& world, Form1& form) : world_(world), form_(form) {}

    // The program starts at the world's time 0.
    double since_start() override { return world_.now(); }
    void load() override { form_.Form_Load(); }
    // Lets `run_limit` seconds of virtual time pass; the program's end stops it first
    // (sim::ProgramEnded, with the status in the window system).
    int run_events() override;
    // An error goes on to the test, which has no standard error to tell it on.
    void run_handler(const char*, const std::function<void()>& body) override { body(); }
    int dispatch_depth() override { return world_.events.dispatch_depth(); }
    int boxes_showing() override { return world_.messages.showing(); }
    void answer_boxes_after(double seconds) override { world_.messages.answer_after = seconds; }
    // Told before the action the test set for a box, if any.
    void observe_boxes(runner::BoxObserver observer) override;
    void start_ticks(double seconds, std::function<void()> tick) override;
    void stop_ticks() override;
    void set_program_folder(const std::string& folder) override { world_.window.folder = folder; }
    // The devices a --port may name: those the test says are missing are not there.
    bool device_exists(const std::string& device) override {
        return !missing_devices.contains(device);
    }
    std::set<std::string> missing_devices;
    // How often the image's digest was asked for.
    int digests_asked = 0;
    double port_now() override { return world_.now(); }
    void observe_port(PortObserver& observer) override { world_.port.set_observer(&observer); }
    std::optional<std::string> sha256_of(const std::filesystem::path& file) override;
    void set_exit_status(std::function<int()> exit_status) override {
        world_.window.exit_status = std::move(exit_status);
    }

    double run_limit = 3600;
    // The simulated world hashes nothing itself: this stands for the system's SHA-256. Unset, no
    // file can be read.
    std::function<std::optional<std::string>(const std::filesystem::path&)> sha256;

  private:
    void schedule_tick();

    World& world_;
    Form1& form_;
    std::function<void()> tick_;
    double tick_seconds_ = 0;
    unsigned tick_generation_ = 0;  // a stop or a new start leaves older ticks without effect
};

}  // namespace r462xe::sim
