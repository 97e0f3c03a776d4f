#include "qt/platform.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "qt/text.h"
#include "system/end_signals.h"
#include "system/local_time.h"
#include "system/record_file.h"
#include "system/user_data_folders.h"
#include "system/user_state_folder.h"
#include "ui/timer_interval.h"

namespace r462xe {

namespace {

QMessageBox::Icon to_icon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// A path in the bytes Qt uses for file names, so that any letters survive.
std::filesystem::path native_path(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(
        std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
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

}  // namespace

QtEventLoop::QtEventLoop() {
    clock_.start();
}

double QtEventLoop::now() {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void QtEventLoop::do_events() {
    DepthCount depth(dispatch_depth_);
    QCoreApplication::processEvents();
}

void QtEventLoop::wait_for_events(double deadline) {
    DepthCount depth(dispatch_depth_);
    const double remaining = deadline - now();
    if (remaining <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    // Block in the system until an event arrives; the timer is the event that ends the wait at
    // the deadline. processEvents(flags, maxtime) would drop WaitForMoreEvents and spin instead.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(std::ceil(remaining * 1000.0)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

QtTimer::QtTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(static_cast<int>(std::lround(kTimer1IntervalSeconds * 1000)));
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (on_tick_) on_tick_();
    });
}

void QtTimer::set_enabled(bool enabled) {
    if (!enabled)
        timer_.stop();
    else if (!timer_.isActive())
        // The interval counts from the moment the timer is enabled.
        timer_.start();
}

void QtMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                          const std::string& details) {
    QMessageBox box(to_icon(icon), from_bytes(title), from_bytes(text), QMessageBox::Ok, parent_);
    // Shown on demand ("Show Details..."), so that the box reads as before.
    if (!details.empty()) box.setDetailedText(from_bytes(details));
    // Enter presses OK, also after "Show Details..." took the focus: that button toggles the
    // details on a click or Space only.
    box.setDefaultButton(QMessageBox::Ok);
    for (QPushButton* button : box.findChildren<QPushButton*>())
        if (button != box.button(QMessageBox::Ok)) button->setAutoDefault(false);
    ++showing_;
    if (observer_) observer_(text, title, details);
    if (auto_answer_seconds_) {
        QTimer::singleShot(static_cast<int>(std::lround(*auto_answer_seconds_ * 1000.0)), &box,
                           [&box] { box.button(QMessageBox::Ok)->click(); });
    }
    // Over the window once the window system has placed it; before that (a box of the start-up,
    // the window only just shown), in the middle of the screen rather than in its corner.
    if (!parent_ || !parent_->isActiveWindow()) {
        const QScreen* screen = parent_ ? parent_->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            box.adjustSize();
            box.move(screen->availableGeometry().center() - box.rect().center());
        }
    }
    // exec dispatches the window's events while the box waits for its OK.
    box.exec();
    --showing_;
}

void QtErrorLog::write_line(const std::string& line) {
    const QByteArray name = QCoreApplication::applicationName().toLocal8Bit();
    std::fprintf(stderr, "%s: %s\n", name.constData(), line.c_str());
    std::fflush(stderr);
}

std::filesystem::path QtUpdateHistory::file() {
    return history_file_in(user_state_folder());
}

std::string QtUpdateHistory::append(const std::string& header, const std::string& record) {
    return append_record(file(), header, record);
}

LocalTime QtUpdateHistory::local_time() {
    return local_time_now();
}

std::string QtUpdateHistory::sha256(const std::string& bytes) {
    return QCryptographicHash::hash(
               QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
               QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

QtWindowSystem::QtWindowSystem(std::optional<QString> lock_name)
    : lock_name_(std::move(lock_name)) {}

QtWindowSystem::~QtWindowSystem() = default;

InstanceClaim QtWindowSystem::claim_instance() {
    if (!lock_name_) return {InstanceClaim::Outcome::First};
    if (!instance_)
        instance_ = std::make_unique<QtInstanceLock>(*lock_name_, [this] { bring_to_front(); });
    return instance_->claim();
}

void QtWindowSystem::bring_to_front() {
    // A window that the load has not shown yet appears by itself in a moment.
    if (!window_ || !window_->isVisible()) return;
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->raise();
    window_->activateWindow();
    // A message box waiting for its OK stays above the window.
    if (QWidget* box = QApplication::activeModalWidget()) {
        box->raise();
        box->activateWindow();
    }
}

std::filesystem::path QtWindowSystem::program_folder() {
    const QString folder = folder_override_ ? QDir(*folder_override_).absolutePath()
                                            : QApplication::applicationDirPath();
    return native_path(QDir::toNativeSeparators(folder));
}

std::vector<std::filesystem::path> QtWindowSystem::user_data_folders() {
    if (folder_override_) return {};
    return r462xe::user_data_folders();
}

void QtWindowSystem::show_window() {
    if (window_) window_->show();
}

void QtWindowSystem::unload_window() {
    if (window_) window_->close();
}

// Ends at once, even from deep inside nested waits and message boxes: no handler below this call
// resumes and no destructor runs. So release what others can see first, and flush.
int QtWindowSystem::let_go(int exit_status) {
    if (on_ending_) on_ending_();
    const int status = exit_status_ ? exit_status_() : exit_status;
    if (instance_) instance_->release();
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}

void QtWindowSystem::end_program(int exit_status) {
    std::_Exit(let_go(exit_status));
}

void QtWindowSystem::end_by_signal(int signal) {
    std::fprintf(stderr, "%s: ended by signal %s\n",
                 qPrintable(QCoreApplication::applicationName()), end_signal_name(signal).c_str());
    let_go(0);
    std::_Exit(128 + signal);
}

}  // namespace r462xe
