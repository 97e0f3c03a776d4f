// However the runner ends, by its window's close or by a signal that asks it to end, it lets go of
// the serial port, so that the port's lock file goes with it: a file left with a dead process's
// number makes other serial tools refuse the port once that number is reused.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/failure_story.h"
#include "e2e/meter_and_image.h"
#include "e2e/process.h"
#include "e2e/transcript.h"
#include "virtual/rig/csv_fields.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

// The serial port's lock file, as the system's serial tools name it: LCK.. and the device's path
// below /dev with its slashes as underscores, in the system's lock folder.
std::string lock_file_of(const std::string& device) {
    std::string name = device.substr(std::string("/dev/").size());
    std::ranges::replace(name, '/', '_');
    return "/var/lock/LCK.." + name;
}

struct EndCase {
    const char* name;
    std::vector<std::string> options;
    int signal;  // sent once the meter's port is open; 0: the runner ends by itself
    int status;
    std::string says;  // on standard error
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class RunnerEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(RunnerEnd, ClosesThePortAndItsLockFileGoes) {
    const EndCase& c = GetParam();
    MeterAndImage setup({}, false);
    ASSERT_FALSE(setup.meter.path().empty()) << setup.meter.log();
    const std::string lock_file = lock_file_of(setup.meter.path());
    std::filesystem::remove(lock_file);

    Child runner(runner_command({{1, setup.meter.path()}}, setup.folder.path(), c.options),
                 offscreen_env(setup.runtime));
    // The search found the meter and kept its port open: the lock file is there now.
    ASSERT_TRUE(runner.wait_for_output(
        [](const std::string& out) {
            return out.find("Command2.enabled true") != std::string::npos;
        },
        60s))
        << runner_story(runner, setup.meter);
    if (c.signal != 0) {
        ASSERT_TRUE(std::filesystem::exists(lock_file)) << lock_file;
        runner.send_signal(c.signal);
    }
    ASSERT_TRUE(runner.wait_for_exit(20s)) << runner.err();
    EXPECT_EQ(runner.end_signal(), 0);
    EXPECT_EQ(runner.exit_status(), c.status) << runner.err();
    EXPECT_EQ(runner.err(), c.says);
    EXPECT_FALSE(std::filesystem::exists(lock_file)) << lock_file << " was left behind";
}

const std::string kRunner = "r462xe-fwupdate-runner: ";

INSTANTIATE_TEST_SUITE_P(
    Ends, RunnerEnd,
    ::testing::Values(
        // No --stay and no press: the window closes after the search, the update not made.
        EndCase{"window_closed", {}, 0, 1, ""},
        EndCase{"terminated",
                {"--stay"},
                SIGTERM,
                128 + SIGTERM,
                kRunner + "ended by signal 15 (Terminated)\n"},
        EndCase{"interrupted",
                {"--stay"},
                SIGINT,
                128 + SIGINT,
                kRunner + "ended by signal 2 (Interrupt)\n"},
        EndCase{
            "hung_up", {"--stay"}, SIGHUP, 128 + SIGHUP, kRunner + "ended by signal 1 (Hangup)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A signal while the update runs: no message tells its end, so the update history does.
TEST(RunnerEnd, ASignalDuringAnUpdateLeavesItsRecord) {
    MeterAndImage setup({}, false);
    ASSERT_FALSE(setup.meter.path().empty()) << setup.meter.log();
    Child runner(runner_command({{1, setup.meter.path()}}, setup.folder.path(), {"--upload"}),
                 offscreen_env(setup.runtime));
    ASSERT_TRUE(runner.wait_for_output(
        [](const std::string& out) {
            return out.find("ProgressBar1.value 3") != std::string::npos;
        },
        90s))
        << runner_story(runner, setup.meter);
    runner.send_signal(SIGTERM);
    ASSERT_TRUE(runner.wait_for_exit(20s)) << runner.err();
    EXPECT_EQ(runner.exit_status(), 128 + SIGTERM) << runner.err();

    std::ifstream history(setup.runtime.path() + "/state/r462xe-fwupdate/history.csv");
    std::vector<std::string> lines;
    for (std::string line; std::getline(history, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    const auto fields = testing::csv_fields(lines[1]);
    ASSERT_EQ(fields.size(), static_cast<std::size_t>(testing::kHistoryColumns)) << lines[1];
    EXPECT_EQ(fields[testing::kOutcome], "broken off");
    EXPECT_EQ(fields[testing::kDetail], "ended by signal 15 (Terminated) before the update ended");
    EXPECT_EQ(fields[testing::kVersionBefore], "V3.05");
    EXPECT_EQ(fields[testing::kVersionAfter], "");
    EXPECT_GE(std::stoi(fields[testing::kBlocksSent]), 4);
}

}  // namespace
}  // namespace r462xe::e2e
