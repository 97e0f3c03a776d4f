// r462xe-fwupdate: the firmware updater as the user runs it. It takes no options of its own.
#include <QApplication>

#include "app/qt_program.h"

int main(int argc, char* argv[]) {
    r462xe::use_offscreen_without_display();
    QApplication app(argc, argv);
    r462xe::QtProgram program(r462xe::PortMap{}, QStringLiteral("r462xe-fwupdate"));
    // The load sequence shows the window, or ends the program.
    program.load();
    return app.exec();
}
