// Keeps the computer awake through the system's own service, where it has one: the thread's
// execution state on Windows, a power assertion on macOS. (Linux asks logind over D-Bus, in the
// front end that speaks D-Bus.)
#pragma once

#include <cstdint>
#include <string>

namespace r462xe {

class KeepAwake {
  public:
    KeepAwake() = default;
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;
    ~KeepAwake() { release(); }

    // Empty when the computer is now held awake; otherwise why it could not be. `why` is what
    // the system shows its user about it.
    std::string hold(const std::string& why);
    // Lets the computer sleep again; nothing happens when nothing is held.
    void release();

  private:
    bool held_ = false;
    std::uint32_t assertion_ = 0;  // the system's handle, where it gives one
};

}  // namespace r462xe
