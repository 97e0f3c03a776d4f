// logind's Inhibit: "sleep:idle" keeps off both a requested suspend and the one that idleness
// would bring; "block" holds them off for as long as the returned descriptor stays open.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include "qt/sleep_inhibitor.h"
#include "qt/text.h"

namespace r462xe {

namespace {

// logind answers at once; a bus that keeps the call longer than this has no use for it.
constexpr int kAnswerWaitMs = 5000;

class LogindSleepInhibitor : public SleepInhibitor {
  public:
    LogindSleepInhibitor() = default;
    ~LogindSleepInhibitor() override { let_go(); }
    LogindSleepInhibitor(const LogindSleepInhibitor&) = delete;
    LogindSleepInhibitor& operator=(const LogindSleepInhibitor&) = delete;

    void hold(const std::string& why) override;
    void release() override { let_go(); }

  private:
    // What release does; the destructor calls it too.
    void let_go();

    bool holding_ = false;
    SleepUnavailableReport report_;
    // logind answers while the window goes on; `request_` tells an answer to a hold that has since
    // been released (its lock is dropped at once) from the answer to the current one.
    unsigned request_ = 0;
    // The lock: logind holds off sleep until every copy of this descriptor is closed.
    QDBusUnixFileDescriptor lock_;
    // Owns the pending calls to logind, so that none answers into a destroyed inhibitor.
    QObject calls_;
};

void LogindSleepInhibitor::hold(const std::string& why) {
    if (holding_) return;
    holding_ = true;
    const unsigned request = ++request_;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        report_.say("no system bus (" + bus.lastError().message() + ")");
        return;
    }
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        report_.say("the system bus passes no file descriptors");
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
                             report_.say(reply.error().message());
                             return;
                         }
                         // An answer to a hold released meanwhile is dropped, and its lock with it.
                         if (holding_ && request == request_) lock_ = reply.value();
                     });
}

void LogindSleepInhibitor::let_go() {
    if (!holding_) return;
    holding_ = false;
    // Closing the last copy of the descriptor ends the lock.
    lock_ = QDBusUnixFileDescriptor();
}

}  // namespace

std::unique_ptr<SleepInhibitor> make_sleep_inhibitor() {
    return std::make_unique<LogindSleepInhibitor>();
}

}  // namespace r462xe
