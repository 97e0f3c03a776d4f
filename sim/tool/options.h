// The pty tool's command line, read by QCommandLineParser.
#pragma once

#include <QStringList>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/meter/meter.h"

namespace r462xe::sim {

struct ToolOptions {
    MeterIdentity identity;
    MeterFaults faults;
    bool pacing = true;
    std::optional<std::string> device;        // a serial device instead of a pseudo-terminal
    std::optional<std::string> expect_image;  // compare the flash with this file after UPGR 0
    std::optional<std::string> replay;        // play this recording instead of the meter
    int power_cycle_signal;
    bool help = false;
};

// A command line the tool cannot run with; the message says why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// `arguments` as QCoreApplication::arguments() gives them, the program first; each byte of the
// system's arguments one character (Latin-1), so that texts reach the meter byte for byte.
ToolOptions parse_options(const QStringList& arguments);

// What --help prints. The program's name in it comes from the QCoreApplication that exists then.
std::string usage();

// C escapes as in a string literal: \r \n \t \\ \" \0 \xHH.
std::string unescape(const std::string& text);

// A signal by name ("USR1", "SIGUSR1") or number; one that the tool may use for power cycles.
int parse_signal(const std::string& text);

}  // namespace r462xe::sim
