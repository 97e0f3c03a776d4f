// The ways back after a failed update, in real time: the runner presses what the window offers,
// and the virtual meter of r462xe-meter-sim misses the plain "UPGR 1" or does not come back
// after "UPGR 0".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/process.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kImageName = "R462XE_V307_20200521.QF";
constexpr const char* kSuccessBox =
    "\"Firmware Update\" \"Firmware Update was completed successfully.\"";
constexpr const char* kPowerCycleBox =
    "\"Power cycle the Meter\" \"Please power cycle the Meter before click on the OK button to "
    "continue the firmware updating.\"";
// Start-up, a failed first update and a whole second one.
constexpr auto kTwoUpdatesLimit = 300s;

// The plain command as the meter tool logs it, heard or not, at the normal speed.
constexpr const char* kPlainEnterAt9600 = R"(@9600: "UPGR 1\r\n")";

std::string test_image() {
    std::string bytes(61440, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 37 + 3) % 253);
    return bytes;
}

struct Bench {
    explicit Bench(std::vector<std::string> faults) : meter(with_image(std::move(faults))) {}

    TempDir folder;
    TempDir runtime;
    MeterSim meter;

  private:
    std::vector<std::string> with_image(std::vector<std::string> options) {
        folder.write(kImageName, test_image());
        options.insert(options.end(), {"--expect-image", folder.file(kImageName)});
        return options;
    }
};

// The first plain "UPGR 1" is lost: the update fails for want of an acknowledgement and leaves
// the port at the update speed. The next press sends the plain command at 9600 again and updates.
TEST(RunnerMissedPlainCommand, TheNextPressUpdatesTheMeter) {
    Bench bench({"--miss-enter", "1"});
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
    EXPECT_EQ(count_of(log, kPlainEnterAt9600), 2u) << log;
    EXPECT_TRUE(bench.meter.flash_matches(5s)) << bench.meter.child().out() << log;
}

// After "UPGR 0" the meter writes and then answers nothing until it is power-cycled: no success
// message, the power-cycle message instead, and the controls back for another try.
TEST(RunnerMeterSilentAfterTheUpdate, ShowsNoSuccessMessage) {
    Bench bench({"--hang-after-leave"});
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
