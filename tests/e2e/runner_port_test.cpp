// The runner's serial port in real time: a port whose device goes away.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "e2e/image_fixture.h"
#include "e2e/process.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

bool holds_open(pid_t pid, const std::string& path) {
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path(), ignored) == path) return true;
    }
    return false;
}

TEST(RunnerPort, HangUpStopsListeningWithoutBusyProcessor) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    Pty port;
    Child runner({bin("r462xe-fwupdate-runner"), "--port", "1=" + port.path(), "--folder",
                  folder.path(), "--stay"},
                 {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime.path()}});
    ASSERT_TRUE(runner.wait_for_output(
        [](const std::string& out) {
            return out.find("Command1.enabled true") != std::string::npos;
        },
        120s))
        << runner.out() << runner.err();
    // Start-up leaves the listed port open.
    ASSERT_TRUE(holds_open(runner.pid(), port.path()));

    const double before = runner.cpu_seconds();
    port.hang_up();
    runner.wait_for_output([](const std::string&) { return false; }, 3s);
    const double used = runner.cpu_seconds() - before;

    EXPECT_TRUE(runner.running()) << runner.err();
    EXPECT_LT(used, 0.3) << "processor seconds in the 3 s after the hang-up";
    // The dead device is let go at once, long before the program itself closes the port.
    EXPECT_FALSE(holds_open(runner.pid(), port.path()));
}

}  // namespace
}  // namespace r462xe::e2e
