// One line of a CSV file cut into its fields, as a spreadsheet reads it: quoted fields may hold
// commas and doubled quotes. Written for the tests, apart from the program's own writer.
#pragma once

#include <string>
#include <vector>

namespace r462xe::testing {

inline std::vector<std::string> csv_fields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c != '\r' && c != '\n') {
            fields.back() += c;
        }
    }
    return fields;
}

// The columns of the update history, by their place in a record.
enum HistoryColumn {
    kTime,
    kProgramVersion,
    kPort,
    kDevice,
    kModel,
    kSerial,
    kVersionBefore,
    kVersionAfter,
    kImage,
    kImageSha256,
    kOutcome,
    kDetail,
    kBlocksSent,
    kBlocksResent,
    kDuration,
    kHistoryColumns
};

}  // namespace r462xe::testing
