// The platform pieces of the program on Qt: clock and event dispatching, `Timer1`, message boxes
// and the window system.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "qt/instance_lock.h"
#include "system/display.h"
#include "ui/platform.h"

namespace r462xe {

class QtEventLoop : public EventLoop {
  public:
    QtEventLoop();
    double now() override;
    void do_events() override;
    void wait_for_events(double deadline) override;
    // How many dispatches of this loop run now, nested in each other.
    int dispatch_depth() const { return dispatch_depth_; }

  private:
    QElapsedTimer clock_;
    int dispatch_depth_ = 0;
};

class QtTimer : public Timer {
  public:
    QtTimer();
    // The tick handler; the timer is created before the window whose handler it calls.
    void set_on_tick(std::function<void()> on_tick) { on_tick_ = std::move(on_tick); }
    void set_enabled(bool enabled) override;
    bool enabled() const override { return timer_.isActive(); }

  private:
    QTimer timer_;
    std::function<void()> on_tick_;
};

class QtMessageBoxes : public MessageBoxes {
  public:
    using Observer = std::function<void(const std::string& text, const std::string& title,
                                        const std::string& details)>;

    void show(const std::string& text, const std::string& title, MsgIcon icon,
              const std::string& details) override;
    void set_parent(QWidget* parent) { parent_ = parent; }
    // Press OK by itself this long after a box appears (unattended runs).
    void set_auto_answer(double seconds) { auto_answer_seconds_ = seconds; }
    // Told about every box as it appears.
    void set_observer(Observer observer) { observer_ = std::move(observer); }
    // Boxes on screen now (a box can open while another one waits for its OK).
    int showing() const { return showing_; }

  private:
    QPointer<QWidget> parent_;
    std::optional<double> auto_answer_seconds_;
    Observer observer_;
    int showing_ = 0;
};

// Standard error, each line after the program's name, as command-line tools write it.
class QtErrorLog : public ErrorLog {
  public:
    void write_line(const std::string& line) override;
};

// The history in the user's state folder, written through the system's file locking; the image's
// hash from Qt's.
class QtUpdateHistory : public UpdateHistory {
  public:
    std::filesystem::path file() override;
    std::string append(const std::string& header, const std::string& record) override;
    LocalTime local_time() override;
    std::string sha256(const std::string& bytes) override;
};

class QtWindowSystem : public WindowSystem {
  public:
    // `lock_name`: the name under which running instances recognise each other; without one every
    // start is the first, so that unattended runs can go side by side.
    explicit QtWindowSystem(std::optional<QString> lock_name);
    ~QtWindowSystem() override;

    // Through the instance lock (see QtInstanceLock::claim).
    InstanceClaim claim_instance() override;
    std::filesystem::path program_folder() override;
    // None when the folder is given (an unattended run looks only there).
    std::vector<std::filesystem::path> user_data_folders() override;
    void show_window() override;
    void unload_window() override;
    [[noreturn]] void end_program(int exit_status) override;
    // Ends as end_program does, for a signal that asked the program to end: says so on standard
    // error and ends with 128 plus the signal's number, as a shell reports a killed program.
    [[noreturn]] void end_by_signal(int signal);

    // Runs as the program ends, before anything else is let go: what others would find held
    // after a sudden end (the serial port's lock file) is released here.
    void set_on_ending(std::function<void()> on_ending) { on_ending_ = std::move(on_ending); }
    void set_window(QWidget* window) { window_ = window; }
    // The folder to report instead of the executable's.
    void set_program_folder(const QString& folder) { folder_override_ = folder; }
    // The exit status the program ends with, in place of the one the window asks for (an
    // unattended run's verdict).
    void set_exit_status(std::function<int()> exit_status) {
        exit_status_ = std::move(exit_status);
    }

  private:
    // The window to the front, over any message box it shows, when a later start asks.
    void bring_to_front();
    // Lets go of everything others can see and returns the status the program ends with.
    int let_go(int exit_status);

    std::optional<QString> lock_name_;
    std::unique_ptr<QtInstanceLock> instance_;
    QPointer<QWidget> window_;
    std::optional<QString> folder_override_;
    std::function<int()> exit_status_;
    std::function<void()> on_ending_;
};

}  // namespace r462xe
