// The instance lock as the Qt front end takes it, in a lock folder of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <memory>

#include "qt/instance_lock.h"

namespace r462xe {
namespace {

constexpr const char* kName = "r462xe-lock-test";
constexpr long kADaySeconds = 24L * 60 * 60;

class QtInstanceLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        ASSERT_TRUE(folder_.isValid());
        QFile::setPermissions(folder_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder_.path()));
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }

    QString file(const char* suffix) const { return folder_.path() + "/" + kName + suffix; }

    int argc_ = 1;
    char name_[24] = "instance-lock-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
    QTemporaryDir folder_;
};

// A copy of the lock file of this very process, a day old and held by no process: it still names
// a running instance of the program, so a later start is a second instance, whatever the age.
TEST_F(QtInstanceLockTest, AgedCopyOfALiveInstancesLockEndsASecondStart) {
    QByteArray copy;
    {
        QtInstanceLock first(kName, {});
        ASSERT_EQ(first.claim().outcome, InstanceClaim::Outcome::First);
        QFile lock(file(".lock"));
        ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
        copy = lock.readAll();
        first.release();
    }
    ASSERT_FALSE(QFile::exists(file(".lock")));
    {
        QFile lock(file(".lock"));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(copy);
    }
    timeval aged[2];
    gettimeofday(&aged[0], nullptr);
    aged[0].tv_sec -= kADaySeconds;
    aged[1] = aged[0];
    ASSERT_EQ(::utimes(QFile::encodeName(file(".lock")).constData(), aged), 0);
    // The running instance's socket, so that the later start reaches it at once. This thread
    // cannot answer while the later start waits, so the later start says the instance did not
    // answer: still a second start, which does not take the lock.
    QLocalServer running;
    ASSERT_TRUE(running.listen(file(".socket")));

    QtInstanceLock later(kName, {});
    const InstanceClaim claim = later.claim();
    EXPECT_EQ(claim.outcome, InstanceClaim::Outcome::Unanswered);
    EXPECT_EQ(claim.why,
              QFile::encodeName(file(".socket")).toStdString() + ": no answer within 3 s");
}

}  // namespace
}  // namespace r462xe
