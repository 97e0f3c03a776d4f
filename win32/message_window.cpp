#include "win32/message_window.h"

#include <stdexcept>

namespace r462xe {

namespace {

constexpr const wchar_t* kClassName = L"r462xe-fwupdate.MessageWindow";

void register_class(WNDPROC procedure) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kClassName;
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("RegisterClassExW failed for the message window");
}

}  // namespace

MessageWindow::MessageWindow(Receiver receiver) : receiver_(std::move(receiver)) {
    register_class(&MessageWindow::procedure);
    hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) throw std::runtime_error("CreateWindowExW failed for the message window");
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

LRESULT CALLBACK MessageWindow::procedure(HWND hwnd, UINT message, WPARAM wparam,
                                          LPARAM lparam) noexcept {
    if (message == WM_TIMER || message >= WM_APP) {
        auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && self->receiver_) self->receiver_(message, wparam, lparam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace r462xe
