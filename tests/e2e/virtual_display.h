// A virtual X server (Xvfb) for the tests that show the product's window, on a display number it
// picks itself and writes on its first line, taken once a client can reach it; and a window
// manager on it, for the tests that look at which window is active.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "e2e/process.h"

namespace r462xe::e2e {

class VirtualDisplay {
  public:
    VirtualDisplay()
        : server_({system_program("Xvfb"), "-displayfd", "1", "-noreset", "-nolisten", "tcp",
                   "-screen", "0", "1024x768x24"}) {
        using namespace std::chrono_literals;
        const auto has_line = [](const std::string& out) {
            return out.find('\n') != std::string::npos;
        };
        if (!server_.wait_for_output(has_line, 10s)) return;
        const std::string name = ":" + server_.out().substr(0, server_.out().find('\n'));
        // Named once it answers a client: under load a program started at once has been seen
        // failing to connect to a display that Xvfb had just named. With -noreset the server
        // stays as it is when that client leaves, instead of resetting under the next one.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            Child client({system_program("xprop"), "-display", name, "-root", "-len", "0"});
            if (client.wait_for_exit(5s) && client.exit_status() == 0) {
                name_ = name;
                return;
            }
            std::this_thread::sleep_for(100ms);
        }
    }
    // Empty when the server did not start.
    const std::string& name() const { return name_; }
    std::string log() { return server_.err(); }

  private:
    Child server_;
    std::string name_;
};

// openbox on a display: it gives the focus to new windows and honours a client's request to
// activate its window (_NET_ACTIVE_WINDOW).
class WindowManager {
  public:
    explicit WindowManager(const std::string& display)
        : manager_({system_program("openbox")}, {{"DISPLAY", display}}) {}
    Child& child() { return manager_; }

  private:
    Child manager_;
};

}  // namespace r462xe::e2e
