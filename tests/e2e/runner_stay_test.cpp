// --stay: the runner's window stays open after its presses, as the update left it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/failure_story.h"
#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

TEST(RunnerStay, KeepsTheWindowOpenAfterTheUpdate) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--expect-image", folder.file(kImageName)});
    ASSERT_FALSE(meter.path().empty()) << meter.log();

    Child runner(runner_command({{1, meter.path()}}, folder.path(),
                                {"--upload", "--presses", "1", "--stay"}),
                 offscreen_env(runtime));
    const std::string success = std::string("msgbox ") + kSuccessBox;
    ASSERT_TRUE(runner.wait_for_output(
        [&](const std::string& out) { return out.find(success) != std::string::npos; }, 240s))
        << runner_story(runner, meter);
    EXPECT_TRUE(meter.flash_matches(10s)) << meter.log();

    // The box answers itself after 0.5 s and the presses are over; without --stay the window
    // would close at the next idle look, 0.2 s later.
    EXPECT_FALSE(runner.wait_for_exit(3s)) << runner.err();
    EXPECT_TRUE(runner.running());
    const auto lines = parse_transcript(runner.out());
    EXPECT_EQ(last_value(lines, "Label4.caption"), "\"V3.07\"");
    for (const char* control : {"Command1", "COM1", "Command2"})
        EXPECT_EQ(last_value(lines, std::string(control) + ".enabled"), "true") << control;
}

}  // namespace
}  // namespace r462xe::e2e
