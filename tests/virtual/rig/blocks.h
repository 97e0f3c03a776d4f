// Block numbers as the tests expect them to go out.
#pragma once

#include <vector>

namespace r462xe::testing {

// A whole transfer: blocks 0 to 59, each once, in order.
inline std::vector<int> all_blocks() {
    std::vector<int> blocks;
    for (int n = 0; n < 60; ++n) blocks.push_back(n);
    return blocks;
}

}  // namespace r462xe::testing
