// The update history of the real program: a history that cannot be written never stops an
// update. A file where the state folder should be refuses it even to root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/failure_story.h"
#include "e2e/meter_and_image.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

TEST(RunnerHistory, AnUnwritableHistoryIsSaidOnceAndTheUpdateSucceeds) {
    MeterAndImage setup({}, true);
    ASSERT_FALSE(setup.meter.path().empty()) << setup.meter.log();
    setup.runtime.write("state", "a file, not a folder");
    auto env = offscreen_env(setup.runtime);
    env["XDG_STATE_HOME"] = setup.runtime.file("state");
    Child runner(runner_command({{1, setup.meter.path()}}, setup.folder.path(),
                                {"--upload", "--presses", "1"}),
                 env);
    ASSERT_TRUE(runner.wait_for_exit(240s)) << runner_story(runner, setup.meter);
    EXPECT_EQ(runner.exit_status(), 0) << runner_story(runner, setup.meter);
    EXPECT_TRUE(setup.meter.flash_matches(10s));

    const std::string file = setup.runtime.file("state") + "/r462xe-fwupdate/history.csv";
    // Other lines may come from the machine (no system bus, say): those about the history.
    std::vector<std::string> about_history;
    std::istringstream err(runner.err());
    for (std::string line; std::getline(err, line);) {
        if (line.find("history") != std::string::npos) about_history.push_back(line);
    }
    EXPECT_THAT(about_history,
                ::testing::ElementsAre("r462xe-fwupdate-runner: update history " + file +
                                       " not written (Not a directory): this update is not in it"));
    const auto lines = parse_transcript(runner.out());
    EXPECT_EQ(values_of(lines, "msgbox"), std::vector<std::string>{kSuccessBox});
    EXPECT_THAT(values_of(lines, "msgbox-details"),
                ::testing::ElementsAre("\"Version: V3.05 -> V3.07\\nThis update is not in the "
                                       "update history " +
                                       file + ": Not a directory.\\n\""));
}

}  // namespace
}  // namespace r462xe::e2e
