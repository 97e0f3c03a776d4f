// The sleep inhibitor on logind: a private bus stands in for the system bus and python3-dbusmock's
// logind template for logind, whose list of inhibitors tells what the program still holds.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <memory>
#include <optional>

#include "qt/sleep_inhibitor.h"

namespace r462xe {
namespace {

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, where python3-dbusmock lives
constexpr int kStartMs = 10000;

class LogindSleepInhibitor : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(bus_.waitForStarted(kStartMs)) << "apt-get install dbus-daemon";
        ASSERT_TRUE(bus_.waitForReadyRead(kStartMs));
        address_ = QString::fromLatin1(bus_.readLine()).trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toLatin1());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
        logind_.setProcessEnvironment(env);
        logind_.start(kPython, {"-m", "dbusmock", "--template", "logind"});
        ASSERT_TRUE(logind_.waitForStarted(kStartMs)) << "apt-get install python3-dbusmock";
        QElapsedTimer waited;
        waited.start();
        while (!inhibitors() && waited.elapsed() < kStartMs) QThread::msleep(100);
        ASSERT_TRUE(inhibitors()) << logind_.readAllStandardError().toStdString();
    }
    void TearDown() override {
        logind_.kill();
        logind_.waitForFinished();
        bus_.kill();
        bus_.waitForFinished();
    }

    // logind's ListInhibitors, on a connection of the test's own; none while logind is not there.
    std::optional<int> inhibitors() {
        QDBusConnection bus = QDBusConnection::connectToBus(address_, "test");
        const QDBusMessage reply = bus.call(
            QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager", "ListInhibitors"));
        QDBusConnection::disconnectFromBus("test");
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return std::nullopt;
        const QDBusArgument list = reply.arguments().first().value<QDBusArgument>();
        int count = 0;
        list.beginArray();
        while (!list.atEnd()) {
            list.beginStructure();
            QString what, who, why, mode;
            uint user = 0, process = 0;
            list >> what >> who >> why >> mode >> user >> process;
            list.endStructure();
            ++count;
        }
        list.endArray();
        return count;
    }

    // Lets logind's answers arrive.
    static void dispatch_for(int ms) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    int argc_ = 1;
    char name_[24] = "sleep-inhibitor-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
    QProcess bus_;
    QProcess logind_;
    QString address_;
};

// One test per process: the system bus connection is made once, on the first hold.
TEST_F(LogindSleepInhibitor, HoldLetGoBeforeTheAnswerLeavesNoLock) {
    const auto inhibitor = make_sleep_inhibitor();
    inhibitor->hold("an update runs");
    inhibitor->release();
    dispatch_for(1000);
    EXPECT_EQ(inhibitors(), 0);

    // The next hold takes its lock, and lets it go.
    inhibitor->hold("an update runs");
    dispatch_for(1000);
    EXPECT_EQ(inhibitors(), 1);
    inhibitor->release();
    dispatch_for(300);
    EXPECT_EQ(inhibitors(), 0);
}

}  // namespace
}  // namespace r462xe
