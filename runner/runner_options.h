// The runner's command line, read by QCommandLineParser.
#pragma once

#include <QStringList>
#include <map>
#include <optional>
#include <string>

namespace r462xe::runner {

struct Options {
    std::map<int, std::string> ports;   // --port N=DEVICE; when any is given, only these exist
    std::optional<std::string> folder;  // --folder DIR: where the firmware image lies
    bool upload = false;                // --upload: press "Upload Firmware" until it succeeds
    int presses = 3;                    // --presses K: at most this many presses
    double answer_after = 0.5;          // --answer-after S: message boxes answer themselves
    bool stay = false;                  // --stay: keep the window after start-up and the presses
    std::optional<std::string> record;  // --record FILE: every byte of the port, both ways
};

struct ParseResult {
    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Run;
    Options options;    // for Run
    std::string error;  // for Error: why the command line cannot run
};

// `arguments` as QCoreApplication::arguments() gives them, the program first; each byte of the
// system's arguments one character (Latin-1), so that device and folder names come back as the
// system gave them.
ParseResult parse_options(const QStringList& arguments);

// What --help prints. The program's name and version in these come from the QCoreApplication
// that exists then.
std::string usage();
std::string version();

}  // namespace r462xe::runner
