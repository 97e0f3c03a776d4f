// The runner in the simulated world: the window rig's window and world, the runner's front end
// there, its transcript kept, and the program's end caught with the status it ended with.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "rig/window_rig.h"
#include "runner/runner.h"
#include "sim/sim_runner_front_end.h"

namespace r462xe::testing {

inline constexpr const char* kRunnerName = "r462xe-fwupdate-runner";

class RunnerRig : public WindowRig {
  public:
    using WindowRig::WindowRig;

    // Runs the runner with `arguments` (the command line after the program's name) until the
    // program ends, or until the front end's run limit has passed
    // (SimRunnerFrontEnd::kStillRunning). Returns the exit status.
    int run(const std::vector<std::string>& arguments);

    // The transcript's lines, without their line ends.
    std::vector<std::string> transcript_lines() const;
    // How often "Upload Firmware" was pressed, as the meter's line shows it: each press of a
    // meter in its normal mode sends the plain "UPGR 1" at the normal speed once.
    int presses_on_line(int com);

    sim::SimRunnerFrontEnd front_end{world, form};
    std::ostringstream transcript;
    // What read_command_line printed, when it ended the program itself.
    std::string out;
    std::string err;

  private:
    std::unique_ptr<runner::Runner> runner_;
};

}  // namespace r462xe::testing
