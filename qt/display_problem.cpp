#include "qt/display_problem.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace r462xe {

namespace {
const char* program_name = "";
QtMessageHandler qt_handler = nullptr;

// Qt's window system says what failed in a fatal message (and offers to reinstall the program,
// which would not help): the first line is kept.
void on_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (qt_handler) qt_handler(type, context, message);
        return;
    }
    QString first = message.section(QLatin1Char('\n'), 0, 0);
    first.remove(QStringLiteral(" Reinstalling the application may fix this problem."));
    std::fprintf(stderr, "%s: the window system cannot be reached: %s\n", program_name,
                 qPrintable(first));
    std::fflush(stderr);
    std::_Exit(1);
}
}  // namespace

std::string display_problem(const DisplayCheck& check) {
    switch (check.state) {
        case DisplayCheck::State::reachable:
            return {};
        case DisplayCheck::State::none:
            return "no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set)";
        case DisplayCheck::State::unreachable:
            return "cannot reach the display " + check.name +
                   " (DISPLAY) to show the window on: no X server answers there";
    }
    return {};
}

void end_quietly_if_the_window_system_fails(const char* program) {
    program_name = program;
    qt_handler = qInstallMessageHandler(on_message);
}

void window_system_stands() {
    qInstallMessageHandler(qt_handler);
}

}  // namespace r462xe
