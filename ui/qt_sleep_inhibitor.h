// The sleep inhibitor of the program: on Linux a "sleep:idle" inhibitor lock of logind, taken over
// the system bus; on Windows the thread's execution state; on macOS a power assertion. Where none
// can be had, the update runs all the same and one line on standard error says so.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#if defined(Q_OS_LINUX)
#include <QDBusUnixFileDescriptor>
#endif

#include "ui/platform.h"

namespace r462xe {

class QtSleepInhibitor : public SleepInhibitor {
  public:
    QtSleepInhibitor();
    ~QtSleepInhibitor() override;
    QtSleepInhibitor(const QtSleepInhibitor&) = delete;
    QtSleepInhibitor& operator=(const QtSleepInhibitor&) = delete;

    void hold(const std::string& why) override;
    void release() override;

  private:
    // What release does; the destructor calls it too.
    void let_go();
    // Says once per run that the computer may sleep during updates, and why.
    void report_unavailable(const QString& reason);

    bool holding_ = false;
    bool reported_ = false;
#if defined(Q_OS_LINUX)
    // logind answers while the window goes on; `request_` tells an answer to a hold that has since
    // been released (its lock is dropped at once) from the answer to the current one.
    unsigned request_ = 0;
    // The lock: logind holds off sleep until every copy of this descriptor is closed.
    QDBusUnixFileDescriptor lock_;
    // Owns the pending calls to logind, so that none answers into a destroyed inhibitor.
    QObject calls_;
#elif defined(Q_OS_MACOS)
    std::uint32_t assertion_ = 0;  // IOPMAssertionID
#endif
};

}  // namespace r462xe
