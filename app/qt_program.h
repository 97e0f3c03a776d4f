// The program's parts on Qt, put together once for the product and the runner: the platform
// pieces, `MSComm1`, `Form1` and its window, with every event wired to its handler.
#pragma once

#include <optional>

#include "app/form1.h"
#include "serial/port_map.h"
#include "serial/qt_serial_port.h"
#include "ui/qt_platform.h"
#include "ui/qt_sleep_inhibitor.h"
#include "ui/qt_window.h"

namespace r462xe {

class QtProgram {
  public:
    // Needs the QApplication. `lock_name` as for QtWindowSystem.
    QtProgram(PortMap ports, std::optional<QString> lock_name);

    // The window's load; an error it lets through is reported and closes the window, as the load
    // sequence's own failures do.
    void load();

    Form1& form() { return form_; }
    QtWindow& window() { return window_; }
    QtEventLoop& events() { return events_; }
    QtMessageBoxes& messages() { return messages_; }
    QtWindowSystem& window_system() { return window_system_; }
    QtSerialPort& port() { return port_; }
    QtErrorLog& error_log() { return error_log_; }

  private:
    PortMap ports_;
    QtEventLoop events_;
    QtSerialPort port_;
    QtTimer timer_;
    QtMessageBoxes messages_;
    QtWindowSystem window_system_;
    QtSleepInhibitor sleep_;
    QtErrorLog error_log_;
    Form1 form_;
    QtWindow window_;
};

}  // namespace r462xe
