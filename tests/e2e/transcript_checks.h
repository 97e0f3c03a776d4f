// Test assertions on the runner's transcript.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "e2e/transcript.h"

namespace r462xe::e2e {

// The lines must come in this order; others may lie between them. Returns the index of each.
inline std::vector<std::size_t> expect_in_order(
    const std::vector<TranscriptLine>& lines,
    const std::vector<std::pair<std::string, std::string>>& expected, std::size_t from = 0) {
    const auto found = find_in_order(lines, expected, from);
    if (found.size() < expected.size())
        ADD_FAILURE() << "missing, in order: " << expected[found.size()].first << " "
                      << expected[found.size()].second;
    return found;
}

}  // namespace r462xe::e2e
