// One window per user: a second start brings the running instance's window to the front and ends,
// and the lock that tells them apart lies only in a folder that belongs to the user alone, so
// that no other user can end the program's starts by a folder or a lock of theirs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/process.h"
#include "e2e/virtual_display.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kLockFile = "r462xe-fwupdate.lock";

// The product's own lines on standard error; Qt may add warnings of its own (a missing
// XDG_RUNTIME_DIR, for one).
std::vector<std::string> own_lines(const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream text(err);
    std::string line;
    while (std::getline(text, line))
        if (line.starts_with("r462xe-fwupdate: ")) lines.push_back(line);
    return lines;
}

bool eventually(const std::function<bool()>& holds, Seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// The process that owns the active window, as xdotool reads _NET_ACTIVE_WINDOW and the window's
// _NET_WM_PID; -1 for a window without one, 0 when no window is active.
pid_t active_window_pid(const std::string& display) {
    Child xdotool({system_program("xdotool"), "getactivewindow", "getwindowpid"},
                  {{"DISPLAY", display}});
    xdotool.wait_for_exit(10s);
    if (xdotool.exit_status() != 0)
        return xdotool.err().find("no pid") != std::string::npos ? -1 : 0;
    return static_cast<pid_t>(std::stol(xdotool.out()));
}

// The window manager has taken the display once it names its check window on the root.
bool manager_ready(const std::string& display) {
    Child xprop({system_program("xprop"), "-root", "_NET_SUPPORTING_WM_CHECK"},
                {{"DISPLAY", display}});
    xprop.wait_for_exit(10s);
    return xprop.out().find("window id #") != std::string::npos;
}

// The product runs from a copy of its own with no image beside it: its window shows and waits at
// the file error message, and no serial port is touched.
class ProductCopy {
  public:
    ProductCopy() { fs::copy_file(bin("r462xe-fwupdate"), program()); }
    std::string program() const { return folder_.file("r462xe-fwupdate"); }

  private:
    TempDir folder_;
};

TEST(ProductOneWindow, SecondStartBringsTheFirstWindowToTheFrontAndEnds) {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "xmessage"})
        ASSERT_NE(system_program(tool), "")
            << tool << " is missing: apt-get install xvfb openbox xdotool x11-utils";
    VirtualDisplay display;
    ASSERT_NE(display.name(), "") << display.log();
    WindowManager manager(display.name());
    ASSERT_TRUE(eventually([&] { return manager_ready(display.name()); }, 10s))
        << manager.child().err();

    ProductCopy product;
    TempDir runtime;
    const std::map<std::string, std::string> env = {{"DISPLAY", display.name()},
                                                    {"XDG_RUNTIME_DIR", runtime.path()}};
    const std::vector<std::string> unset = {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    // An instance that crashed leaves its lock and its socket behind; the next one takes both.
    {
        Child crashed({product.program()}, env, unset);
        ASSERT_TRUE(eventually([&] { return fs::exists(runtime.file(kLockFile)); }, 10s));
        crashed.kill_now();
    }
    Child first({product.program()}, env, unset);
    ASSERT_TRUE(eventually([&] { return active_window_pid(display.name()) == first.pid(); }, 10s))
        << first.err();

    // Another program's window takes the front.
    Child other({system_program("xmessage"), "another program's window"},
                {{"DISPLAY", display.name()}});
    ASSERT_TRUE(eventually(
        [&] {
            const pid_t active = active_window_pid(display.name());
            return active != 0 && active != first.pid();
        },
        10s))
        << other.err();

    Child second({product.program()}, env, unset);
    ASSERT_TRUE(second.wait_for_exit(10s));
    EXPECT_EQ(second.exit_status(), 0);
    EXPECT_EQ(second.out(), "");
    EXPECT_EQ(second.err(), "");
    EXPECT_TRUE(eventually([&] { return active_window_pid(display.name()) == first.pid(); }, 5s))
        << "the active window belongs to " << active_window_pid(display.name());
    EXPECT_TRUE(first.running()) << first.err();
}

// Where the lock goes when the folders it could use are tampered with: a scratch folder for
// temporary files (TMPDIR) and a scratch home, with no runtime folder unless a case gives one.
class ProductLockFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        // A running instance elsewhere, whose lock file, copied into a folder, holds that folder
        // as a live instance would.
        blocker_ = std::make_unique<Child>(
            std::vector<std::string>{product_.program()},
            std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                               {"XDG_RUNTIME_DIR", blocker_runtime_.path()}});
        ASSERT_TRUE(eventually([&] { return fs::exists(blocker_runtime_.file(kLockFile)); }, 10s))
            << blocker_->err();
    }

    // The folder the product makes for the user in the folder for temporary files.
    fs::path tmp_folder() const {
        return fs::path(tmp_.path()) / ("r462xe-fwupdate-" + std::to_string(::getuid()));
    }
    fs::path cache_folder() const { return fs::path(home_.path()) / ".cache/r462xe-fwupdate"; }

    // A lock of the running blocker in `folder`.
    void plant_lock(const fs::path& folder) {
        fs::copy_file(blocker_runtime_.file(kLockFile), folder / kLockFile);
    }

    std::unique_ptr<Child> start(const std::map<std::string, std::string>& extra = {}) {
        std::map<std::string, std::string> env = {
            {"QT_QPA_PLATFORM", "offscreen"}, {"TMPDIR", tmp_.path()}, {"HOME", home_.path()}};
        for (const auto& [name, value] : extra) env[name] = value;
        std::vector<std::string> unset = {"USER", "USERNAME", "XDG_CACHE_HOME"};
        if (!extra.contains("XDG_RUNTIME_DIR")) unset.push_back("XDG_RUNTIME_DIR");
        return std::make_unique<Child>(std::vector<std::string>{product_.program()}, env, unset);
    }

    // The product keeps running with its lock in `folder`, which is closed to others; a second
    // start finds that lock and ends at once.
    void expect_lock_in(const fs::path& folder, const std::map<std::string, std::string>& extra) {
        auto first = start(extra);
        EXPECT_FALSE(first->wait_for_exit(4s))
            << "ended with status " << first->exit_status() << ": " << first->err();
        EXPECT_TRUE(fs::exists(folder / kLockFile)) << folder;
        struct stat status {};
        ASSERT_EQ(::lstat(folder.c_str(), &status), 0) << folder;
        EXPECT_EQ(status.st_uid, ::getuid());
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        auto second = start(extra);
        ASSERT_TRUE(second->wait_for_exit(10s));
        EXPECT_EQ(second->exit_status(), 0);
        EXPECT_EQ(own_lines(second->err()), std::vector<std::string>{}) << second->err();
        EXPECT_TRUE(first->running());
    }

    ProductCopy product_;
    TempDir blocker_runtime_;
    std::unique_ptr<Child> blocker_;
    TempDir tmp_;
    TempDir home_;
};

TEST_F(ProductLockFolder, WithoutUserOrRuntimeFolderTheFolderIsNamedByTheUserIdAndMadeClosed) {
    expect_lock_in(tmp_folder(), {});
}

TEST_F(ProductLockFolder, TheUserNameDoesNotChooseTheFolder) {
    expect_lock_in(tmp_folder(), {{"USER", "somebody"}, {"USERNAME", "somebody"}});
}

TEST_F(ProductLockFolder, AFolderOfAnotherUserIsPassedOver) {
    if (::getuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    fs::create_directory(tmp_folder());
    plant_lock(tmp_folder());
    ASSERT_EQ(::chown(tmp_folder().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown((tmp_folder() / kLockFile).c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(tmp_folder().c_str(), 0700), 0);
    expect_lock_in(cache_folder(), {});
}

TEST_F(ProductLockFolder, AFolderOpenToOthersIsPassedOver) {
    fs::create_directory(tmp_folder());
    plant_lock(tmp_folder());
    ASSERT_EQ(::chmod(tmp_folder().c_str(), 0777), 0);
    expect_lock_in(cache_folder(), {});
}

TEST_F(ProductLockFolder, ALinkInPlaceOfTheFolderIsPassedOver) {
    TempDir elsewhere;
    plant_lock(elsewhere.path());
    fs::create_directory_symlink(elsewhere.path(), tmp_folder());
    expect_lock_in(cache_folder(), {});
}

TEST_F(ProductLockFolder, ARuntimeFolderOpenToOthersIsPassedOver) {
    TempDir runtime;
    plant_lock(runtime.path());
    ASSERT_EQ(::chmod(runtime.path().c_str(), 0777), 0);
    expect_lock_in(tmp_folder(), {{"XDG_RUNTIME_DIR", runtime.path()}});
}

// A folder for temporary files with a long path leaves no room in a socket's path (about 100
// bytes) for the socket beside the lock: a second start still reaches the first.
TEST_F(ProductLockFolder, ALongTemporaryFolderStillLetsTheSecondStartReachTheFirst) {
    const fs::path long_tmp = fs::path(tmp_.path()) / std::string(100, 't');
    fs::create_directory(long_tmp);
    expect_lock_in(long_tmp / ("r462xe-fwupdate-" + std::to_string(::getuid())),
                   {{"TMPDIR", long_tmp.string()}});
}

TEST_F(ProductLockFolder, WithNoFolderOfTheUsersOwnItSaysSoAndEnds) {
    fs::create_directory(tmp_folder());
    ASSERT_EQ(::chmod(tmp_folder().c_str(), 0777), 0);
    fs::create_directories(cache_folder());
    ASSERT_EQ(::chmod(cache_folder().c_str(), 0777), 0);
    auto product = start();
    ASSERT_TRUE(product->wait_for_exit(10s));
    EXPECT_EQ(product->exit_status(), 1);
    EXPECT_EQ(product->out(), "");
    const auto lines = own_lines(product->err());
    ASSERT_EQ(lines.size(), 1u) << product->err();
    const std::string& said = lines[0];
    EXPECT_TRUE(said.starts_with("r462xe-fwupdate: no folder of your own for the instance lock ("))
        << said;
    EXPECT_NE(said.find(tmp_folder().string() + ": open to other users"), std::string::npos)
        << said;
    EXPECT_NE(said.find(cache_folder().string() + ": open to other users"), std::string::npos)
        << said;
    EXPECT_FALSE(fs::exists(tmp_folder() / kLockFile));
    EXPECT_FALSE(fs::exists(cache_folder() / kLockFile));
}

// A cache folder that cannot be made (here a file stands where it would be) is named too, with
// the system's reason.
TEST_F(ProductLockFolder, ACacheFolderThatCannotBeMadeIsNamedWithWhy) {
    fs::create_directory(tmp_folder());
    ASSERT_EQ(::chmod(tmp_folder().c_str(), 0777), 0);
    home_.write(".cache", "not a folder");
    auto product = start();
    ASSERT_TRUE(product->wait_for_exit(10s));
    EXPECT_EQ(product->exit_status(), 1);
    const auto lines = own_lines(product->err());
    ASSERT_EQ(lines.size(), 1u) << product->err();
    EXPECT_NE(lines[0].find(tmp_folder().string() + ": open to other users; " +
                            cache_folder().string() + ": cannot be made (Not a directory)"),
              std::string::npos)
        << lines[0];
}

}  // namespace
}  // namespace r462xe::e2e
