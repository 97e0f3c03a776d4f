// r462xe-fwupdate-runner: the same window and logic, run unattended for service benches, demos and
// real-time tests. The runner's logic (runner/) reads the command line and runs the window; this
// main puts the Win32 program together for it. A console program: the transcript goes to standard
// output.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "runner/runner.h"
#include "system/windows/latin1_text.h"
#include "win32/program.h"
#include "win32/runner_front_end.h"

int wmain(int argc, wchar_t* argv[]) {
    using namespace r462xe;
    // Lines end as on every other system, with a line feed alone, so that one transcript reads
    // like another.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The program's own file name, as the usage and the error lines show it.
    const std::string name = latin1(program_path().stem().wstring());
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        auto bytes = code_page_bytes(argv[i]);
        if (!bytes) {
            std::fprintf(stderr,
                         "%s: argument %d has characters that the system's code page cannot "
                         "hold\n",
                         name.c_str(), i);
            return runner::kExitBadArguments;
        }
        arguments.push_back(std::move(*bytes));
    }
    const runner::CommandLine command_line = runner::read_command_line(name, arguments);
    if (!command_line.options) {
        std::fputs(command_line.out.c_str(), stdout);
        std::fputs(command_line.err.c_str(), stderr);
        return command_line.status;
    }
    const runner::Options& options = *command_line.options;

    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    // No instance lock: unattended runs may go side by side, each on its own ports. Without
    // --port, COMn is the system's COMn.
    Win32Program program(
        options.ports.empty() ? PortMap(PortNumbering::system_com) : PortMap(options.ports),
        std::nullopt);
    Win32RunnerFrontEnd front_end(program);
    runner::Runner runner(options, name, program.form(), front_end, std::cout);
    return runner.run();
}
