// Cutting a text into its comma-separated fields, as the identification reply and the serial
// port's settings text are written.
#pragma once

#include <string>
#include <vector>

namespace r462xe {

// Every comma separates: "a,,b" has three fields, "" has one.
inline std::vector<std::string> split_at_commas(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace r462xe
