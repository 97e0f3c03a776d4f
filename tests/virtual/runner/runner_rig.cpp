#include "runner/runner_rig.h"

namespace r462xe::testing {

int RunnerRig::run(const std::vector<std::string>& arguments) {
    const runner::CommandLine command_line = runner::read_command_line(kRunnerName, arguments);
    if (!command_line.options) {
        out = command_line.out;
        err = command_line.err;
        return command_line.status;
    }
    runner_ = std::make_unique<runner::Runner>(*command_line.options, kRunnerName, form, front_end,
                                               transcript);
    try {
        return runner_->run();
    } catch (const sim::ProgramEnded&) {
        return world.window.ended_with;
    }
}

std::vector<std::string> RunnerRig::transcript_lines() const {
    std::vector<std::string> lines;
    std::istringstream in(transcript.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int RunnerRig::presses_on_line(int com) {
    int presses = 0;
    for (const auto& record : world.line(com).wire()) {
        if (record.from_host && record.bytes == "UPGR 1\r\n" && record.baud == 9600) ++presses;
    }
    return presses;
}

}  // namespace r462xe::testing
