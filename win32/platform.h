// The platform pieces of the program on Win32: clock and event dispatching, `Timer1`, message
// boxes, the error log, the window system, the sleep inhibitor and the update history.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "system/keep_awake.h"
#include "ui/platform.h"
#include "win32/instance_lock.h"
#include "win32/message_window.h"

namespace r462xe {

class Win32EventLoop : public EventLoop {
  public:
    Win32EventLoop();
    double now() override;
    void do_events() override;
    void wait_for_events(double deadline) override;
    // The program's window, whose keys act as in a dialog: Tab, Space and Enter on its controls.
    void set_dialog_window(HWND window) { dialog_window_ = window; }
    // Dispatches every message as it comes until the program ends; the status it ends with.
    int run();
    // How many dispatches of waiting procedures run now, nested in each other.
    int dispatch_depth() const { return dispatch_depth_; }

  private:
    void dispatch(MSG& message);

    LARGE_INTEGER frequency_{};
    LARGE_INTEGER start_{};
    HWND dialog_window_ = nullptr;
    int dispatch_depth_ = 0;
};

class Win32Timer : public Timer {
  public:
    Win32Timer();
    // The tick handler; the timer is created before the window whose handler it calls.
    void set_on_tick(std::function<void()> on_tick) { on_tick_ = std::move(on_tick); }
    void set_enabled(bool enabled) override;
    bool enabled() const override { return enabled_; }

  private:
    void tick();

    MessageWindow window_;
    bool enabled_ = false;
    std::function<void()> on_tick_;
};

class Win32MessageBoxes : public MessageBoxes {
  public:
    using Observer = std::function<void(const std::string& text, const std::string& title,
                                        const std::string& details)>;

    void show(const std::string& text, const std::string& title, MsgIcon icon,
              const std::string& details) override;
    // The window the boxes are modal to.
    void set_parent(HWND parent) { parent_ = parent; }
    // Press OK by itself this long after a box appears (unattended runs).
    void set_auto_answer(double seconds) { auto_answer_seconds_ = seconds; }
    // Told about every box as it appears.
    void set_observer(Observer observer) { observer_ = std::move(observer); }
    // Boxes on screen now (a box can open while another one waits for its OK).
    int showing() const { return showing_count_; }

  private:
    static HRESULT CALLBACK on_notification(HWND box, UINT notification, WPARAM wparam,
                                            LPARAM lparam, LONG_PTR self) noexcept;

    HWND parent_ = nullptr;
    std::optional<double> auto_answer_seconds_;
    Observer observer_;
    int showing_count_ = 0;
    // The boxes on screen now, the last one on top (a box can open while another one waits for
    // its OK); a new box is modal to the top one.
    std::vector<HWND> showing_;
};

// Standard error when the program has one (a console, a file or a pipe), else the console of the
// program that started it, else the debugger's output; each line after the program's name, as
// command-line tools write it.
class Win32ErrorLog : public ErrorLog {
  public:
    void write_line(const std::string& line) override;

  private:
    enum class Sink { Unknown, Console, File, Debugger };
    void find_sink();

    Sink sink_ = Sink::Unknown;
    HANDLE handle_ = nullptr;
};

class Win32WindowSystem : public WindowSystem {
  public:
    // `instance_name`: the name under which running instances of this user recognise each
    // other; none skips the check, so that unattended runs can go side by side.
    explicit Win32WindowSystem(std::optional<std::wstring> instance_name);
    ~Win32WindowSystem() override;

    // Another instance of this user runs: its window has then been brought to the front.
    InstanceClaim claim_instance() override;
    std::filesystem::path program_folder() override;
    // The user's local application data folder; none when --folder names the one folder to use.
    std::vector<std::filesystem::path> user_data_folders() override;
    void show_window() override;
    void unload_window() override;
    [[noreturn]] void end_program(int status) override;

    void set_window(HWND window) { window_ = window; }
    // The folder to report instead of the executable's.
    void set_program_folder(std::filesystem::path folder) { folder_override_ = std::move(folder); }
    // The exit status the program ends with, in place of the one the window asks for (an
    // unattended run's verdict).
    void set_exit_status(std::function<int()> exit_status) {
        exit_status_ = std::move(exit_status);
    }

  private:
    std::optional<std::wstring> instance_name_;
    std::unique_ptr<Win32InstanceLock> instance_;
    HWND window_ = nullptr;
    std::optional<std::filesystem::path> folder_override_;
    std::function<int()> exit_status_;
};

// The thread's execution state keeps the computer awake; where the system refuses, the error log
// says once that the computer may go to sleep during an update.
class Win32SleepInhibitor : public SleepInhibitor {
  public:
    explicit Win32SleepInhibitor(ErrorLog& error_log) : error_log_(error_log) {}
    void hold(const std::string& why) override;
    void release() override { keep_awake_.release(); }

  private:
    ErrorLog& error_log_;
    KeepAwake keep_awake_;
    bool refusal_told_ = false;
};

// The history in the user's local application data folder, written through the system's file
// locking; the image's hash from the system's cryptography.
class Win32UpdateHistory : public UpdateHistory {
  public:
    std::filesystem::path file() override;
    std::string append(const std::string& header, const std::string& record) override;
    LocalTime local_time() override;
    std::string sha256(const std::string& bytes) override;
};

// The full path of the program's executable, in any letters.
std::filesystem::path program_path();

}  // namespace r462xe
