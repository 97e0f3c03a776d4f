// The product itself: one instance per user, and a crashed instance does not block the next.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <thread>

#include "e2e/process.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

class ProductInstance : public ::testing::Test {
  protected:
    void SetUp() override {
        // The product finds its image beside itself, so it runs from a copy in a scratch folder.
        std::filesystem::copy_file(bin("r462xe-fwupdate"), folder_.file("r462xe-fwupdate"));
        folder_.write("R462XE_V307_20200521.QF", std::string(61440, '\x11'));
    }

    std::unique_ptr<Child> start() {
        return std::make_unique<Child>(
            std::vector<std::string>{folder_.file("r462xe-fwupdate")},
            std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                               {"XDG_RUNTIME_DIR", runtime_.path()}});
    }

    // The first instance holds its lock once the lock file exists.
    bool wait_for_lock() {
        for (int i = 0; i < 100; ++i) {
            for (const auto& entry : std::filesystem::directory_iterator(runtime_.path()))
                if (entry.path().extension() == ".lock") return true;
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

}  // namespace
}  // namespace r462xe::e2e
