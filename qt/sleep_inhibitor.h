// The sleep inhibitor of the program, chosen by the build: a "sleep:idle" inhibitor lock of
// logind over the system bus on Linux (sleep_inhibitor_logind.cpp), the system's own service
// elsewhere (sleep_inhibitor_system.cpp). Where none can be had, the update runs all the same
// and one line on standard error says so.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <memory>

#include "ui/platform.h"

namespace r462xe {

std::unique_ptr<SleepInhibitor> make_sleep_inhibitor();

// Says once per run that the computer may sleep during updates, and why.
class SleepUnavailableReport {
  public:
    void say(const QString& reason) {
        if (said_) return;
        said_ = true;
        std::fprintf(stderr, "%s: the computer may go to sleep during an update: %s\n",
                     qPrintable(QCoreApplication::applicationName()), qPrintable(reason));
        std::fflush(stderr);
    }

  private:
    bool said_ = false;
};

}  // namespace r462xe
