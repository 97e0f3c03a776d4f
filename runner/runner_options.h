// The runner's command line.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace r462xe::runner {

struct Options {
    std::map<int, std::string> ports;   // --port N=DEVICE; when any is given, only these exist
    std::optional<std::string> folder;  // --folder DIR: where the firmware image lies
    bool upload = false;                // --upload: press "Upload Firmware" until it succeeds
    int presses = 3;                    // --presses K: at most this many presses
    double answer_after = 0.5;          // --answer-after S: message boxes answer themselves
    bool stay = false;                  // --stay: keep the window after start-up
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // when options is empty
};

ParseResult parse_options(const std::vector<std::string>& arguments);

inline constexpr const char* kUsage =
    "usage: r462xe-fwupdate-runner [--port N=DEVICE]... [--folder DIR] [--upload [--presses K]]\n"
    "                              [--answer-after S] [--stay]\n";

}  // namespace r462xe::runner
