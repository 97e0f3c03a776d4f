// A window running in the simulated world, with a firmware image beside it, every control change
// recorded, and the program's end caught.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "sim/world.h"

namespace r462xe::testing {

// A made-up firmware image of the right length (never a real one), the same for a given seed.
std::string demo_image(unsigned seed = 1);

struct Change {
    double time;
    std::string line;  // "Control.property value"
};

class WindowRig {
  public:
    // `image` is written beside the program; nullptr leaves no file there.
    explicit WindowRig(const std::string* image = &default_image());
    ~WindowRig();

    static const std::string& default_image();

    // Runs the load sequence; returns when it ends (or the program ended).
    void load();
    // Lets `seconds` of virtual time pass with the window idle.
    void run_for(double seconds);
    // Runs a handler the way the window system would, catching the program's end.
    template <class Handler>
    void handle(Handler&& handler) {
        try {
            handler();
        } catch (const sim::ProgramEnded&) {
        }
    }
    bool ended() const { return world.window.ended; }

    // Recorded changes whose text starts with `prefix` (e.g. "Label7.caption").
    std::vector<std::string> changes_of(const std::string& prefix) const;
    std::vector<std::string> message_titles() const;
    std::string image_path() const;

    // Every handler that an event of the world runs goes through this: a test that counts timer
    // ticks or looks at the window between handlers sets it.
    std::function<void(const char* handler, const std::function<void()>& body)> around_handler =
        [](const char*, const std::function<void()>& body) { body(); };

    sim::World world;
    std::string folder;
    std::string image;
    Form1 form{world.platform()};
    std::vector<Change> changes;
};

}  // namespace r462xe::testing
