// The product itself: one instance per user, a crashed instance does not block the next, and
// without a display it ends before it holds anything.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

class ProductInstance : public ::testing::Test {
  protected:
    void SetUp() override {
        // The product finds its image beside itself, so it runs from a copy in a scratch folder.
        std::filesystem::copy_file(bin("r462xe-fwupdate"), folder_.file("r462xe-fwupdate"));
        folder_.write(kImageName, test_image());
    }

    std::unique_ptr<Child> start() {
        return std::make_unique<Child>(
            std::vector<std::string>{folder_.file("r462xe-fwupdate")},
            std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                               {"XDG_RUNTIME_DIR", runtime_.path()}});
    }

    bool lock_file_exists() {
        for (const auto& entry : std::filesystem::directory_iterator(runtime_.path()))
            if (entry.path().extension() == ".lock") return true;
        return false;
    }

    // The first instance holds its lock once the lock file exists.
    bool wait_for_lock() {
        for (int i = 0; i < 100; ++i) {
            if (lock_file_exists()) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    TempDir folder_;
    TempDir runtime_;
};

TEST_F(ProductInstance, SecondInstanceEndsAtOnceWhileTheFirstRuns) {
    auto first = start();
    ASSERT_TRUE(wait_for_lock());
    auto second = start();
    ASSERT_TRUE(second->wait_for_exit(10s));
    EXPECT_EQ(second->exit_status(), 0);
    EXPECT_EQ(second->out(), "");
    EXPECT_TRUE(first->running());
}

// A second start ends with status 0 only once the first has shown its window; a first that does
// not answer (here stopped) leaves the user a line that says so, and the status says it failed.
TEST_F(ProductInstance, SecondStartSaysSoWhenTheFirstDoesNotAnswer) {
    auto first = start();
    ASSERT_TRUE(wait_for_lock());
    // The first listens once its load has begun.
    std::this_thread::sleep_for(1s);
    first->send_signal(SIGSTOP);
    auto second = start();
    const bool ended = second->wait_for_exit(20s);
    first->send_signal(SIGCONT);
    ASSERT_TRUE(ended);
    EXPECT_EQ(second->exit_status(), 1);
    EXPECT_EQ(second->out(), "");
    EXPECT_TRUE(second->err().starts_with(
        "r462xe-fwupdate: the program already runs, but did not answer the request to show its "
        "window ("))
        << second->err();
    EXPECT_EQ(count_of(second->err(), "\n"), 1u) << second->err();
    // Running again, it answers the next start.
    auto third = start();
    ASSERT_TRUE(third->wait_for_exit(10s));
    EXPECT_EQ(third->exit_status(), 0) << third->err();
    EXPECT_TRUE(first->running());
}

TEST_F(ProductInstance, InstanceStartsAfterTheLastOneCrashed) {
    auto crashed = start();
    ASSERT_TRUE(wait_for_lock());
    crashed->kill_now();
    auto next = start();
    // Still running: it took the stale lock instead of ending as a second instance.
    EXPECT_FALSE(next->wait_for_exit(3s)) << next->err();
    auto third = start();
    ASSERT_TRUE(third->wait_for_exit(10s));
    EXPECT_EQ(third->exit_status(), 0);
}

// How the display is missing: its variables are not there, or there but empty.
struct NoDisplay {
    const char* name;
    std::map<std::string, std::string> env;
    std::vector<std::string> unset;
    std::string says = "no display";
};

void PrintTo(const NoDisplay& no_display, std::ostream* out) {
    *out << no_display.name;
}

class ProductWithoutDisplay : public ProductInstance,
                              public ::testing::WithParamInterface<NoDisplay> {};

TEST_P(ProductWithoutDisplay, EndsAtOnceWithOneLineAndHoldsNothing) {
    auto env = GetParam().env;
    env["XDG_RUNTIME_DIR"] = runtime_.path();
    Child headless({folder_.file("r462xe-fwupdate")}, env, GetParam().unset);
    ASSERT_TRUE(headless.wait_for_exit(10s)) << headless.err();
    EXPECT_EQ(headless.end_signal(), 0);
    EXPECT_NE(headless.exit_status(), 0);
    EXPECT_EQ(headless.out(), "");
    const std::string said = headless.err();
    EXPECT_EQ(count_of(said, "\n"), 1u) << said;
    EXPECT_TRUE(said.ends_with("\n")) << said;
    EXPECT_NE(said.find(GetParam().says), std::string::npos) << said;
    EXPECT_FALSE(lock_file_exists());
    // A start with a platform is not refused as a second instance: it runs on.
    auto next = start();
    EXPECT_FALSE(next->wait_for_exit(3s)) << next->err();
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ProductWithoutDisplay,
    ::testing::Values(
        NoDisplay{"unset", {}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}},
        NoDisplay{"empty", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}, {}},
        // An X server that is not there: Qt itself would abort (status 134).
        NoDisplay{"dead_x_server",
                  {{"DISPLAY", ":93"}},
                  {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"},
                  "cannot reach the display :93 (DISPLAY)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe::e2e
