// What the runner needs of the front end that shows the window, beyond the window's own platform
// (ui/platform.h): the Qt program, the simulated world and a native front end each give it these.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace r462xe {
class PortObserver;
}

namespace r462xe::runner {

// Told of every message box as it appears.
using BoxObserver = std::function<void(const std::string& text, const std::string& title,
                                       const std::string& details)>;

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // Seconds since the program started: the transcript's clock.
    virtual double since_start() = 0;

    // The window's load sequence; an error it lets through is reported and closes the window.
    virtual void load() = 0;
    // Dispatches the window's events until the program ends; what it ends with.
    virtual int run_events() = 0;
    // Runs one of the window's handlers as the front end runs those its events raise.
    virtual void run_handler(const char* name, const std::function<void()>& body) = 0;

    // Whether the window is at rest: how many dispatches of waiting procedures run now, nested in
    // each other, and how many message boxes are on screen.
    virtual int dispatch_depth() = 0;
    virtual int boxes_showing() = 0;

    // Every message box answers itself (presses OK) this long after it appears.
    virtual void answer_boxes_after(double seconds) = 0;
    virtual void observe_boxes(BoxObserver observer) = 0;

    // Runs `tick` every `seconds` while events are dispatched, until stop_ticks.
    virtual void start_ticks(double seconds, std::function<void()> tick) = 0;
    virtual void stop_ticks() = 0;

    // The window looks for the image in this folder instead of the program's own; `folder` as
    // the command line gave it, in the system's encoding of file names.
    virtual void set_program_folder(const std::string& folder) = 0;

    // The serial port's clock, and the observer it tells of everything it does from now on.
    virtual double port_now() = 0;
    virtual void observe_port(PortObserver& observer) = 0;

    // The SHA-256 of the file's bytes in lower-case hexadecimal; none when it cannot be read.
    virtual std::optional<std::string> sha256_of(const std::filesystem::path& file) = 0;

    // Whether the device that a --port names is there now.
    virtual bool device_exists(const std::string& device) = 0;

    // Asked as the program ends, wherever it ends from: the status it ends with.
    virtual void set_exit_status(std::function<int()> exit_status) = 0;
};

}  // namespace r462xe::runner
