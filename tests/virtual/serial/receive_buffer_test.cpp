// The receive buffer's bound: what arrives is kept while there is room, the rest is dropped, and
// what already waits is never touched.
#include <gtest/gtest.h>

#include <string>

#include "serial/receive_buffer.h"

namespace r462xe {
namespace {

TEST(ReceiveBuffer, KeepsWhatFitsAndDropsTheRest) {
    struct Row {
        const char* name;
        std::size_t waiting;
        std::size_t arriving;
        std::size_t kept;
    };
    const Row rows[] = {
        {"empty, a reply", 0, 40, 40},
        {"room for exactly what comes", 4000, 96, 96},
        {"more than the room", 4000, 200, 96},
        {"full", 4096, 1, 0},
        {"one arrival larger than the buffer", 0, 10000, 4096},
        {"nothing arrives", 10, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string waiting(row.waiting, 'w');
        const std::string arriving(row.arriving, 'a');
        EXPECT_EQ(take_into_receive_buffer(waiting, arriving), row.kept);
        EXPECT_EQ(waiting, std::string(row.waiting, 'w') + std::string(row.kept, 'a'));
    }
}

}  // namespace
}  // namespace r462xe
