#include "win32/instance_lock.h"

namespace r462xe {

namespace {

// The window of that class that belongs to another process (this start has a window of the same
// class, not shown yet).
HWND other_instance_window(const std::wstring& window_class) {
    const DWORD own_process = GetCurrentProcessId();
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, window_class.c_str(), nullptr))) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != own_process) return window;
    }
    return nullptr;
}

}  // namespace

Win32InstanceLock::Win32InstanceLock(std::wstring name, std::wstring window_class)
    : name_(std::move(name)), window_class_(std::move(window_class)) {}

Win32InstanceLock::~Win32InstanceLock() {
    release();
}

bool Win32InstanceLock::take() {
    if (mutex_) return true;
    // "Local\": the user's own session, so that other users' instances do not count.
    const std::wstring mutex_name = L"Local\\" + name_;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutex_name.c_str());
    const DWORD error = GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS) {
        mutex_ = mutex;
        return true;
    }
    if (mutex) CloseHandle(mutex);
    // A mutex that this user may not open (an instance started as administrator) is there all
    // the same. Any other failure leaves the check undecided, and the program runs.
    if (!mutex && error != ERROR_ACCESS_DENIED) return true;
    bring_first_to_front();
    return false;
}

void Win32InstanceLock::release() {
    if (!mutex_) return;
    CloseHandle(mutex_);
    mutex_ = nullptr;
}

void Win32InstanceLock::bring_first_to_front() {
    const HWND window = other_instance_window(window_class_);
    // A window that the load has not shown yet appears by itself in a moment.
    if (!window || !IsWindowVisible(window)) return;
    // A window that has not taken its messages for seconds would not come forward.
    first_answered_ = !IsHungAppWindow(window);
    if (!first_answered_) return;
    // Asynchronous: a busy instance never holds up this start.
    if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
    // A message box waiting for its OK stays above the window.
    SetForegroundWindow(GetLastActivePopup(window));
}

}  // namespace r462xe
