// The program's parts on Qt, put together once for the product and the runner: the platform
// pieces, `MSComm1`, `Form1` and its window, with every event wired to its handler.
#pragma once

#include <QSocketNotifier>
#include <memory>
#include <optional>

#include "app/form1.h"
#include "qt/platform.h"
#include "qt/serial_port.h"
#include "qt/sleep_inhibitor.h"
#include "qt/window.h"
#include "serial/port_map.h"

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
    // Closes the serial port, if open, so that its lock file goes with it.
    void release_port();
    // A signal that asks the program to end ends it as the window's close does.
    void watch_end_signals();

    PortMap ports_;
    QtEventLoop events_;
    QtSerialPort port_;
    QtTimer timer_;
    QtMessageBoxes messages_;
    QtWindowSystem window_system_;
    std::unique_ptr<SleepInhibitor> sleep_ = make_sleep_inhibitor();
    QtErrorLog error_log_;
    QtUpdateHistory history_;
    Form1 form_;
    QtWindow window_;
    std::unique_ptr<QSocketNotifier> end_signals_;
};

}  // namespace r462xe
