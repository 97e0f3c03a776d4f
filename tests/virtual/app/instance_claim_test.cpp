// The start-up's claim of the one instance a user may run: the first start goes on; a later start
// ends at once with status 0 and leaves the window to the running instance once that one has shown
// it; a start whose running instance did not answer, or with no safe place for its claim, says why
// on the error log and ends with status 1. Neither of those two
// shows a window or a message, or touches a port.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

struct ClaimCase {
    const char* name;
    InstanceClaim claim;
    bool goes_on;
    int exit_status;  // -1: the program has not ended
    std::vector<std::string> error_lines;
};

void PrintTo(const ClaimCase& c, std::ostream* out) {
    *out << c.name;
}

class InstanceClaimAtStartUp : public ::testing::TestWithParam<ClaimCase> {};

TEST_P(InstanceClaimAtStartUp, DecidesWhetherTheStartGoesOn) {
    const ClaimCase& c = GetParam();
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.window.claim = c.claim;
    rig.load();

    EXPECT_EQ(rig.ended(), !c.goes_on);
    EXPECT_EQ(rig.world.window.ended_with, c.exit_status);
    EXPECT_EQ(rig.world.window.shown, c.goes_on);
    EXPECT_EQ(rig.changes.empty(), !c.goes_on);
    EXPECT_EQ(rig.world.port.opens() > 0, c.goes_on);
    EXPECT_TRUE(rig.world.messages.shown.empty());
    std::vector<std::string> logged;
    for (const auto& line : rig.world.error_log.lines) logged.push_back(line.line);
    EXPECT_EQ(logged, c.error_lines);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, InstanceClaimAtStartUp,
    ::testing::Values(
        ClaimCase{"First", {InstanceClaim::Outcome::First}, true, -1, {}},
        ClaimCase{"AnotherRuns", {InstanceClaim::Outcome::AnotherRuns}, false, 0, {}},
        ClaimCase{"Unanswered",
                  {InstanceClaim::Outcome::Unanswered,
                   "/run/user/1000/r462xe-fwupdate.socket: no answer within 3 s"},
                  false,
                  1,
                  {"the program already runs, but did not answer the request to show its window "
                   "(/run/user/1000/r462xe-fwupdate.socket: no answer within 3 s)"}},
        ClaimCase{"Refused",
                  {InstanceClaim::Outcome::Refused,
                   "/tmp/r462xe-fwupdate-1000: open to other users; "
                   "/home/user/.cache/r462xe-fwupdate: belongs to another user"},
                  false,
                  1,
                  {"no folder of your own for the instance lock (/tmp/r462xe-fwupdate-1000: open "
                   "to other users; /home/user/.cache/r462xe-fwupdate: belongs to another "
                   "user)"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe
