// A message-only window: it receives timer ticks and posted messages on the user-interface thread
// for the parts of the program that have no window of their own (`Timer1`, the serial port), so
// that what they raise runs while the window's events are dispatched.
#pragma once

#include <windows.h>

#include <functional>

namespace r462xe {

class MessageWindow {
  public:
    // Told of every WM_TIMER and of every message from WM_APP on.
    using Receiver = std::function<void(UINT message, WPARAM wparam, LPARAM lparam)>;

    explicit MessageWindow(Receiver receiver);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND hwnd() const { return hwnd_; }

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept;

    Receiver receiver_;
    HWND hwnd_ = nullptr;
};

}  // namespace r462xe
