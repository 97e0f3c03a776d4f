#include "ui/qt_sleep_inhibitor.h"

#include <QCoreApplication>
#include <cstdio>

#include "ui/qt_text.h"

#if defined(Q_OS_LINUX)
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#elif defined(Q_OS_WIN)
#define NOMINMAX
#include <windows.h>
#elif defined(Q_OS_MACOS)
#include <IOKit/pwr_mgt/IOPMLib.h>
#endif

namespace r462xe {

#if defined(Q_OS_LINUX)
namespace {
// logind answers at once; a bus that keeps the call longer than this has no use for it.
constexpr int kAnswerWaitMs = 5000;
}  // namespace
#endif

QtSleepInhibitor::QtSleepInhibitor() = default;

QtSleepInhibitor::~QtSleepInhibitor() {
    let_go();
}

void QtSleepInhibitor::release() {
    let_go();
}

void QtSleepInhibitor::report_unavailable(const QString& reason) {
    if (reported_) return;
    reported_ = true;
    std::fprintf(stderr, "%s: the computer may go to sleep during an update: %s\n",
                 qPrintable(QCoreApplication::applicationName()), qPrintable(reason));
    std::fflush(stderr);
}

#if defined(Q_OS_LINUX)

// logind's Inhibit: "sleep:idle" keeps off both a requested suspend and the one that idleness
// would bring; "block" holds them off for as long as the returned descriptor stays open.
void QtSleepInhibitor::hold(const std::string& why) {
    if (holding_) return;
    holding_ = true;
    const unsigned request = ++request_;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        report_unavailable("no system bus (" + bus.lastError().message() + ")");
        return;
    }
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        report_unavailable("the system bus passes no file descriptors");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QCoreApplication::applicationName() << from_bytes(why)
         << QStringLiteral("block");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerWaitMs), &calls_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &calls_,
                     [this, request](QDBusPendingCallWatcher* answered) {
                         answered->deleteLater();
                         const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *answered;
                         if (reply.isError()) {
                             report_unavailable(reply.error().message());
                             return;
                         }
                         // An answer to a hold released meanwhile is dropped, and its lock with it.
                         if (holding_ && request == request_) lock_ = reply.value();
                     });
}

void QtSleepInhibitor::let_go() {
    if (!holding_) return;
    holding_ = false;
    // Closing the last copy of the descriptor ends the lock.
    lock_ = QDBusUnixFileDescriptor();
}

#elif defined(Q_OS_WIN)

// Written for Windows; this system's builds do not compile it.
void QtSleepInhibitor::hold(const std::string&) {
    if (holding_) return;
    holding_ = true;
    // The thread's state lasts until changed: the system stays up, the display may go dark.
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0)
        report_unavailable(QStringLiteral("SetThreadExecutionState failed"));
}

void QtSleepInhibitor::let_go() {
    if (!holding_) return;
    holding_ = false;
    SetThreadExecutionState(ES_CONTINUOUS);
}

#elif defined(Q_OS_MACOS)

// Written for macOS; this system's builds do not compile it. The assertion keeps off the sleep
// that idleness brings; a closed lid still sends the computer to sleep.
void QtSleepInhibitor::hold(const std::string& why) {
    if (holding_) return;
    holding_ = true;
    const CFStringRef reason = from_bytes(why).toCFString();
    IOPMAssertionID assertion = 0;
    const IOReturn result = IOPMAssertionCreateWithName(
        kIOPMAssertionTypePreventUserIdleSystemSleep, kIOPMAssertionLevelOn, reason, &assertion);
    CFRelease(reason);
    if (result == kIOReturnSuccess)
        assertion_ = assertion;
    else
        report_unavailable(QStringLiteral("IOPMAssertionCreateWithName failed"));
}

void QtSleepInhibitor::let_go() {
    if (!holding_) return;
    holding_ = false;
    if (assertion_ != 0) IOPMAssertionRelease(assertion_);
    assertion_ = 0;
}

#else

void QtSleepInhibitor::hold(const std::string&) {
    holding_ = true;
    report_unavailable(QStringLiteral("this system offers no way to keep it awake"));
}

void QtSleepInhibitor::let_go() {
    holding_ = false;
}

#endif

}  // namespace r462xe
