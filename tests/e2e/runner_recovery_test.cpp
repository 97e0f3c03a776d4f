// The ways back after a failed update, in real time: the runner presses what the window offers,
// and the virtual meter of r462xe-meter-sim misses the plain "UPGR 1" or does not come back
// after "UPGR 0".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/meter_and_image.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

// Start-up, a failed first update and a whole second one.
constexpr auto kTwoUpdatesLimit = 300s;

// The first plain "UPGR 1" is lost: the update fails for want of an acknowledgement and leaves
// the port at the update speed. The next press sends the plain command at 9600 again and updates.
TEST(RunnerMissedPlainCommand, TheNextPressUpdatesTheMeter) {
    MeterAndImage bench({"--miss-enter", "1"}, true);
    ASSERT_FALSE(bench.meter.path().empty()) << bench.meter.log();
    Child runner(runner_command({{3, bench.meter.path()}}, bench.folder.path(),
                                {"--upload", "--presses", "3", "--answer-after", "1"}),
                 offscreen_env(bench.runtime));
    ASSERT_TRUE(runner.wait_for_exit(kTwoUpdatesLimit)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 0) << runner.err();

    const auto lines = parse_transcript(runner.out());
    EXPECT_EQ(values_of(lines, "msgbox"), (std::vector<std::string>{kPowerCycleBox, kSuccessBox}))
        << runner.out();
    EXPECT_EQ(last_value(lines, "Label4.caption"), "\"V3.07\"");
    const std::string log = bench.meter.log();
    EXPECT_EQ(count_of(log, kPlainEnterLogged), 2u) << log;
    EXPECT_TRUE(bench.meter.flash_matches(5s)) << bench.meter.child().out() << log;
}

// After "UPGR 0" the meter writes and then answers nothing until it is power-cycled: no success
// message, the power-cycle message instead, and the controls back for another try.
TEST(RunnerMeterSilentAfterTheUpdate, ShowsNoSuccessMessage) {
    MeterAndImage bench({"--hang-after-leave"}, true);
    ASSERT_FALSE(bench.meter.path().empty()) << bench.meter.log();
    Child runner(runner_command({{3, bench.meter.path()}}, bench.folder.path(),
                                {"--upload", "--presses", "1"}),
                 offscreen_env(bench.runtime));
    ASSERT_TRUE(runner.wait_for_exit(kTwoUpdatesLimit)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();

    const auto lines = parse_transcript(runner.out());
    EXPECT_EQ(values_of(lines, "msgbox"), std::vector<std::string>{kPowerCycleBox}) << runner.out();
    EXPECT_EQ(last_value(lines, "Label4.caption"), "\"\"");
    for (const char* control : {"Command1", "COM1", "Command2"})
        EXPECT_EQ(last_value(lines, std::string(control) + ".enabled"), "true") << control;
}

}  // namespace
}  // namespace r462xe::e2e
