// The runner's command line: its options, read the way Qt's QCommandLineParser reads them (the
// runner was first written on it, and its users know those rules and messages), in plain C++ so
// that every front end's runner reads it alike.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// `arguments`: the command line after the program's name, each argument the bytes the system gave,
// so that device, folder and file names come back unchanged, whatever their encoding.
ParseResult parse_options(const std::vector<std::string>& arguments);

// What --help prints; `program`: the program's file name, as the usage line shows it.
std::string usage(const std::string& program);
// What --version prints.
std::string version(const std::string& program);
// The runner's version number, as --version and a recording's notes give it.
std::string_view version_number();

}  // namespace r462xe::runner
