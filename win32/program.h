// The program's parts on Win32, put together once: the platform pieces, `MSComm1`, `Form1` and its
// window, with every event wired to its handler.
#pragma once

#include <optional>
#include <string>

#include "app/form1.h"
#include "serial/port_map.h"
#include "win32/platform.h"
#include "win32/serial_port.h"
#include "win32/window.h"

namespace r462xe {

class Win32Program {
  public:
    // `instance_name` as for Win32WindowSystem.
    Win32Program(PortMap ports, std::optional<std::wstring> instance_name);

    // The window's load; an error it lets through is reported and closes the window, as the load
    // sequence's own failures do.
    void load();

    Form1& form() { return form_; }
    Win32Window& window() { return window_; }
    Win32EventLoop& events() { return events_; }
    Win32MessageBoxes& messages() { return messages_; }
    Win32WindowSystem& window_system() { return window_system_; }
    Win32SerialPort& port() { return port_; }
    Win32ErrorLog& error_log() { return error_log_; }

  private:
    PortMap ports_;
    Win32EventLoop events_;
    Win32SerialPort port_;
    Win32Timer timer_;
    Win32MessageBoxes messages_;
    Win32WindowSystem window_system_;
    Win32ErrorLog error_log_;
    Win32UpdateHistory history_;
    Win32SleepInhibitor sleep_;
    Form1 form_;
    Win32Window window_;
};

}  // namespace r462xe
