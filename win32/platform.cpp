#include "win32/platform.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "system/local_time.h"
#include "system/record_file.h"
#include "system/user_data_folders.h"
#include "system/user_state_folder.h"
#include "system/windows/latin1_text.h"
#include "ui/timer_interval.h"
#include "win32/sha256.h"

namespace r462xe {

namespace {

constexpr UINT_PTR kTimer1Id = 1;
// The timer of a box that answers itself, on the box's own window.
constexpr UINT_PTR kAutoAnswerId = 1;

// The toggle under which a message box keeps its details until the user asks for them.
constexpr const wchar_t* kShowDetails = L"Show Details...";
constexpr const wchar_t* kHideDetails = L"Hide Details...";
// A box with details is this wide (in dialog units), so that a detail's line reads as one line.
constexpr UINT kDetailsBoxWidth = 300;

PCWSTR task_dialog_icon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return TD_ERROR_ICON;
        case MsgIcon::Exclamation:
            return TD_WARNING_ICON;
        case MsgIcon::Information:
            return TD_INFORMATION_ICON;
    }
    return nullptr;
}

UINT message_box_icon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return MB_ICONERROR;
        case MsgIcon::Exclamation:
            return MB_ICONWARNING;
        case MsgIcon::Information:
            return MB_ICONINFORMATION;
    }
    return 0;
}

// Escape answers a box as its OK does. (The flag that allows cancelling a box does the same on
// Windows; Wine closes a box without a Cancel button only from its title bar.)
LRESULT CALLBACK escape_presses_ok(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                   DWORD_PTR) noexcept {
    if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL && lparam == 0) {
        SendMessageW(box, TDM_CLICK_BUTTON, IDOK, 0);
        return 0;
    }
    return DefSubclassProc(box, message, wparam, lparam);
}

// An unattended box presses its own OK when its time has come.
void CALLBACK press_ok(HWND box, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(box, id);
    SendMessageW(box, TDM_CLICK_BUTTON, IDOK, 0);
}

class DepthCount {
  public:
    explicit DepthCount(int& depth) : depth_(depth) { ++depth_; }
    ~DepthCount() { --depth_; }
    DepthCount(const DepthCount&) = delete;
    DepthCount& operator=(const DepthCount&) = delete;

  private:
    int& depth_;
};

// A dialog box of the system's own class: the message boxes.
bool is_dialog(HWND window) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return lstrcmpW(name, L"#32770") == 0;
}

// The details end each line with "\n"; the last one needs no empty line after it.
std::wstring details_text(const std::string& details) {
    std::wstring text = wide(details);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// The program's name as command-line tools write it before their lines: its file name without
// ".exe".
std::string program_name() {
    return latin1(program_path().stem().wstring());
}

}  // namespace

std::filesystem::path program_path() {
    // The path may be longer than MAX_PATH: grow the buffer until it holds the whole.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) throw std::runtime_error("GetModuleFileNameW failed");
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

Win32EventLoop::Win32EventLoop() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
}

double Win32EventLoop::now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency_.QuadPart);
}

void Win32EventLoop::dispatch(MSG& message) {
    // Tab, Space, Enter and Escape act as in a dialog on the window they are typed into: the
    // program's window or a message box, also while a handler waits with a box on screen.
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
        const HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root && (root == dialog_window_ || is_dialog(root)) && IsDialogMessageW(root, &message))
            return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Win32EventLoop::do_events() {
    DepthCount depth(dispatch_depth_);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the loop that runs the program.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

void Win32EventLoop::wait_for_events(double deadline) {
    DepthCount depth(dispatch_depth_);
    const double remaining = deadline - now();
    if (remaining > 0) {
        // Blocks in the system until a message arrives or the deadline passes; a message already
        // waiting ends the wait at once.
        const auto milliseconds = static_cast<DWORD>(std::ceil(remaining * 1000.0));
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    do_events();
}

int Win32EventLoop::run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatch(message);
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

Win32Timer::Win32Timer()
    : window_([this](UINT message, WPARAM id, LPARAM) {
          if (message == WM_TIMER && id == kTimer1Id) tick();
      }) {}

void Win32Timer::set_enabled(bool enabled) {
    if (!enabled) {
        if (enabled_) KillTimer(window_.hwnd(), kTimer1Id);
        enabled_ = false;
        return;
    }
    if (enabled_) return;
    // The interval counts from the moment the timer is enabled.
    const auto interval = static_cast<UINT>(std::lround(kTimer1IntervalSeconds * 1000));
    if (!SetTimer(window_.hwnd(), kTimer1Id, interval, nullptr))
        throw std::runtime_error("SetTimer failed");
    enabled_ = true;
}

void Win32Timer::tick() {
    // A tick that was due before the timer was disabled is no tick.
    if (!enabled_) return;
    if (on_tick_) on_tick_();
}

void Win32MessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                             const std::string& details) {
    const std::wstring wide_text = wide(text);
    const std::wstring wide_title = wide(title);
    const std::wstring wide_details = details_text(details);
    const HWND owner = showing_.empty() ? parent_ : showing_.back();

    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = owner;
    // Escape and the close button answer the box as OK does.
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = wide_title.c_str();
    config.pszMainIcon = task_dialog_icon(icon);
    config.pszContent = wide_text.c_str();
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    if (!wide_details.empty()) {
        config.pszExpandedInformation = wide_details.c_str();
        config.pszCollapsedControlText = kShowDetails;
        config.pszExpandedControlText = kHideDetails;
        config.cxWidth = kDetailsBoxWidth;
    }
    config.pfCallback = &Win32MessageBoxes::on_notification;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(this);
    DepthCount showing(showing_count_);
    if (observer_) observer_(text, title, details);
    // The box's own loop dispatches the window's events while it waits for its OK.
    if (SUCCEEDED(TaskDialogIndirect(&config, nullptr, nullptr, nullptr))) return;
    // Without the task dialog (the common controls 6 not loaded) the plain box says the same.
    std::wstring plain = wide_text;
    if (!wide_details.empty()) plain += L"\n\n" + wide_details;
    MessageBoxW(owner, plain.c_str(), wide_title.c_str(), MB_OK | message_box_icon(icon));
}

HRESULT CALLBACK Win32MessageBoxes::on_notification(HWND box, UINT notification, WPARAM, LPARAM,
                                                    LONG_PTR self) noexcept {
    auto& boxes = *reinterpret_cast<Win32MessageBoxes*>(self);
    if (notification == TDN_CREATED) {
        boxes.showing_.push_back(box);
        SetWindowSubclass(box, &escape_presses_ok, 0, 0);
        if (boxes.auto_answer_seconds_) {
            const auto milliseconds =
                static_cast<UINT>(std::lround(std::max(0.0, *boxes.auto_answer_seconds_) * 1000.0));
            SetTimer(box, kAutoAnswerId, milliseconds, &press_ok);
        }
    }
    if (notification == TDN_DESTROYED) {
        RemoveWindowSubclass(box, &escape_presses_ok, 0);
        if (!boxes.showing_.empty()) boxes.showing_.pop_back();
    }
    return S_OK;
}

void Win32ErrorLog::find_sink() {
    const auto usable = [](HANDLE handle) {
        return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
    };
    const auto console = [](HANDLE handle) {
        DWORD mode = 0;
        return GetConsoleMode(handle, &mode) != 0;
    };
    handle_ = GetStdHandle(STD_ERROR_HANDLE);
    if (usable(handle_)) {
        sink_ = console(handle_) ? Sink::Console : Sink::File;
        return;
    }
    // A window program started from a console has no standard error of its own; the lines go to
    // that console.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        handle_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        if (usable(handle_)) {
            sink_ = Sink::Console;
            return;
        }
    }
    sink_ = Sink::Debugger;
}

void Win32ErrorLog::write_line(const std::string& line) {
    if (sink_ == Sink::Unknown) find_sink();
    const std::string text = program_name() + ": " + line;
    switch (sink_) {
        case Sink::Console: {
            const std::wstring wide_line = wide(text) + L"\r\n";
            DWORD written = 0;
            WriteConsoleW(handle_, wide_line.data(), static_cast<DWORD>(wide_line.size()), &written,
                          nullptr);
            break;
        }
        case Sink::File: {
            const std::string bytes = text + "\r\n";
            DWORD written = 0;
            WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            break;
        }
        case Sink::Unknown:
        case Sink::Debugger:
            OutputDebugStringW((wide(text) + L"\n").c_str());
            break;
    }
}

Win32WindowSystem::Win32WindowSystem(std::optional<std::wstring> instance_name)
    : instance_name_(std::move(instance_name)) {}

Win32WindowSystem::~Win32WindowSystem() = default;

InstanceClaim Win32WindowSystem::claim_instance() {
    if (!instance_name_) return {};
    if (!instance_) {
        // The running instance shows a window of the same class as this one.
        wchar_t window_class[256] = L"";
        if (window_)
            GetClassNameW(window_, window_class, static_cast<int>(std::size(window_class)));
        instance_ = std::make_unique<Win32InstanceLock>(*instance_name_, window_class);
    }
    if (instance_->take()) return {};
    if (!instance_->first_answered())
        return {.outcome = InstanceClaim::Outcome::Unanswered,
                .why = "its window does not respond"};
    return {.outcome = InstanceClaim::Outcome::AnotherRuns};
}

std::filesystem::path Win32WindowSystem::program_folder() {
    if (folder_override_) {
        std::error_code error;
        const auto folder = std::filesystem::absolute(*folder_override_, error);
        return error ? *folder_override_ : folder;
    }
    return program_path().parent_path();
}

std::vector<std::filesystem::path> Win32WindowSystem::user_data_folders() {
    if (folder_override_) return {};
    return r462xe::user_data_folders();
}

void Win32WindowSystem::show_window() {
    if (!window_) return;
    // As the one who started the program asked (a shortcut may ask for a minimized window).
    ShowWindow(window_, SW_SHOWDEFAULT);
    UpdateWindow(window_);
}

void Win32WindowSystem::unload_window() {
    if (window_) SendMessageW(window_, WM_CLOSE, 0, 0);
}

void Win32WindowSystem::end_program(int status) {
    // Ends at once, even from deep inside nested waits and message boxes: no handler below this
    // call resumes and no destructor runs. So flush and release what others can see first.
    std::fflush(stdout);
    std::fflush(stderr);
    if (instance_) instance_->release();
    ExitProcess(static_cast<UINT>(exit_status_ ? exit_status_() : status));
}

void Win32SleepInhibitor::hold(const std::string& why) {
    const std::string refusal = keep_awake_.hold(why);
    if (refusal.empty() || refusal_told_) return;
    refusal_told_ = true;
    error_log_.write_line("the computer may go to sleep during an update: " + refusal);
}

std::filesystem::path Win32UpdateHistory::file() {
    return history_file_in(user_state_folder());
}

std::string Win32UpdateHistory::append(const std::string& header, const std::string& record) {
    return append_record(file(), header, record);
}

LocalTime Win32UpdateHistory::local_time() {
    return local_time_now();
}

std::string Win32UpdateHistory::sha256(const std::string& bytes) {
    return sha256_hex(bytes);
}

}  // namespace r462xe
