// r462xe-fwupdate: the firmware updater as the user runs it. It takes no options of its own.
#include <QApplication>
#include <cstdio>

#include "qt/display_problem.h"
#include "qt/program.h"

int main(int argc, char* argv[]) {
    // A window nobody can see would hold the instance lock and the ports and wait for answers
    // that never come, so without a display the program ends before it takes either.
    const std::string problem = r462xe::display_problem(r462xe::check_display());
    if (!problem.empty()) {
        std::fprintf(stderr, "r462xe-fwupdate: %s\n", problem.c_str());
        return 1;
    }
    r462xe::end_quietly_if_the_window_system_fails("r462xe-fwupdate");
    QApplication app(argc, argv);
    r462xe::window_system_stands();
    r462xe::QtProgram program(r462xe::PortMap(r462xe::PortNumbering::device_order),
                              QStringLiteral("r462xe-fwupdate"));
    // The load sequence shows the window, or ends the program.
    program.load();
    return app.exec();
}
