// What the updater wrote on one virtual line, in a form a test can compare at a glance: the time
// of each write (to the millisecond, from a chosen start), its bytes and its speed.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/world.h"
#include "text/c_quote.h"

namespace r462xe::testing {

inline const std::string kIdnQueryBytes = "*IDN?\r\n";
inline const std::string kProbeBytes = std::string(1028, '\n');

// A run of line feeds is written as its count, anything else quoted.
inline std::string bytes_text(const std::string& bytes) {
    if (!bytes.empty() &&
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\n'; })) {
        return "LFx" + std::to_string(bytes.size());
    }
    return c_quote(bytes);
}

// "1.300 LFx1028 @19200": one line per host write on port `com` made at or after `since`.
inline std::vector<std::string> host_writes(sim::World& world, int com, double since = 0) {
    std::vector<std::string> writes;
    for (const auto& record : world.line(com).wire()) {
        if (!record.from_host || record.time < since) continue;
        char time[32];
        std::snprintf(time, sizeof time, "%.3f", record.time - since);
        writes.push_back(std::string(time) + " " + bytes_text(record.bytes) + " @" +
                         std::to_string(record.baud));
    }
    return writes;
}

// How many times the host wrote exactly `bytes` at `baud` on port `com`, at or after `since`.
inline int count_host_writes(sim::World& world, int com, const std::string& bytes, int baud,
                             double since = 0) {
    const auto& wire = world.line(com).wire();
    return static_cast<int>(std::count_if(wire.begin(), wire.end(), [&](const auto& record) {
        return record.from_host && record.time >= since && record.bytes == bytes &&
               record.baud == baud;
    }));
}

inline int queries_on(sim::World& world, int com, double since = 0) {
    return count_host_writes(world, com, kIdnQueryBytes, 9600, since);
}

inline int probes_on(sim::World& world, int com, double since = 0) {
    return count_host_writes(world, com, kProbeBytes, 19200, since);
}

}  // namespace r462xe::testing
