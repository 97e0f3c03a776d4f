// One running instance of the program per user: a named mutex in the user's session. A later start
// finds the mutex there, brings the running instance's window to the front and ends.
#pragma once

#include <windows.h>

#include <string>

namespace r462xe {

class Win32InstanceLock {
  public:
    // `name`: how the instances recognise each other; `window_class`: the class of the window
    // that a later start brings to the front.
    Win32InstanceLock(std::wstring name, std::wstring window_class);
    ~Win32InstanceLock();
    Win32InstanceLock(const Win32InstanceLock&) = delete;
    Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;

    // True when this instance is the first, which from now on holds the lock; otherwise the
    // running instance's window (with any message box it shows) has been brought to the front.
    bool take();
    // After a take that found another instance: whether its window answered, or is not shown
    // yet and appears by itself. A window that does not respond (hung) did not.
    bool first_answered() const { return first_answered_; }
    // Gives the lock up, before the program ends at once.
    void release();

  private:
    void bring_first_to_front();

    std::wstring name_;
    std::wstring window_class_;
    HANDLE mutex_ = nullptr;
    bool first_answered_ = true;
};

}  // namespace r462xe
