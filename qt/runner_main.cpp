// r462xe-fwupdate-runner: the same window and logic, run unattended for service benches, demos and
// real-time tests. The runner's logic (runner/) reads the command line and runs the window; this
// main puts the Qt program together for it.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "qt/display_problem.h"
#include "qt/program.h"
#include "qt/runner_front_end.h"
#include "runner/runner.h"

int main(int argc, char* argv[]) {
    using namespace r462xe;
    // The transcript's times count from here.
    QElapsedTimer started;
    started.start();
    // The program's own file name, as the usage and the error lines show it.
    std::string name =
        argc > 0 ? QFileInfo(QFile::decodeName(argv[0])).fileName().toStdString() : std::string();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    const runner::CommandLine command_line = runner::read_command_line(name, arguments);
    if (!command_line.options) {
        std::fputs(command_line.out.c_str(), stdout);
        std::fputs(command_line.err.c_str(), stderr);
        return command_line.status;
    }
    const runner::Options& options = *command_line.options;

    // Unattended runs go on without a display: the window exists, drawn nowhere, and the
    // transcript shows everything it would show. A display that is named but does not answer is
    // said, since the user who named it expected the window there.
    const DisplayCheck display = check_display();
    if (display.state == DisplayCheck::State::unreachable)
        std::fprintf(stderr, "%s: %s; the window runs offscreen\n", name.c_str(),
                     display_problem(display).c_str());
    if (display.state != DisplayCheck::State::reachable) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees none of the runner's options, only the program's name.
    char* qt_argv[] = {name.data(), nullptr};
    int qt_argc = 1;
    end_quietly_if_the_window_system_fails(name.c_str());
    QApplication app(qt_argc, qt_argv);
    window_system_stands();
    // No instance lock: unattended runs may go side by side, each on its own ports.
    QtProgram program(
        options.ports.empty() ? PortMap(PortNumbering::device_order) : PortMap(options.ports),
        std::nullopt);
    QtRunnerFrontEnd front_end(program, started);
    runner::Runner runner(options, name, program.form(), front_end, std::cout);
    return runner.run();
}
