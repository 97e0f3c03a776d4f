// r462xe-fwupdate: the firmware updater as the user runs it. It takes no options of its own.
#include <QApplication>
#include <cstdio>

#include "qt/program.h"

int main(int argc, char* argv[]) {
    // A window nobody can see would hold the instance lock and the ports and wait for answers
    // that never come, so without a display the program ends before it takes either.
    if (r462xe::no_display()) {
        std::fputs(
            "r462xe-fwupdate: no display to show the window on (DISPLAY and "
            "WAYLAND_DISPLAY are not set)\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    r462xe::QtProgram program(r462xe::PortMap(r462xe::PortNumbering::device_order),
                              QStringLiteral("r462xe-fwupdate"));
    // The load sequence shows the window, or ends the program.
    program.load();
    return app.exec();
}
