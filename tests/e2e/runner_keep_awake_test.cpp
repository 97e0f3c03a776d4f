// The runner keeps the computer awake through logind while an update runs: a private bus stands in
// for the system bus, python3-dbusmock's logind template for logind, and its list of inhibitors
// is read while blocks flow and after the update.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/failure_story.h"
#include "e2e/image_fixture.h"
#include "e2e/process.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, where python3-dbusmock lives
constexpr const char* kInhibitor =
    "sleep:idle | r462xe-fwupdate-runner | Updating the firmware of an R462xE meter; an "
    "interrupted update leaves the meter without firmware | block";
constexpr auto kUpdateLimit = 240s;

// python3-dbusmock's logind template, whose Inhibit first logs how many locks are still held: a
// lock the runner kept after its update shows at the next update's call.
constexpr const char* kCountingLogind = R"(from dbusmock.templates.logind import *
from dbusmock.templates import logind as shipped
from dbusmock import mockobject
import dbus


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h')
def Inhibit(self, what, who, why, mode):
    print('locks held at Inhibit:', len(getattr(mockobject, 'inhibitors', [])), flush=True)
    return shipped.Inhibit(self, what, who, why, mode)
)";

// A D-Bus daemon of the test's own, used as the system bus, with or without a mock logind on it.
class PrivateSystemBus {
  public:
    explicit PrivateSystemBus(bool with_logind)
        : daemon_({system_program("dbus-daemon"), "--session", "--nofork", "--print-address=1"}) {
        const auto has_line = [](const std::string& out) {
            return out.find('\n') != std::string::npos;
        };
        if (!daemon_.wait_for_output(has_line, 10s)) return;
        address_ = daemon_.out().substr(0, daemon_.out().find('\n'));
        if (!with_logind) return;
        template_.write("counting_logind.py", kCountingLogind);
        // Unbuffered, so that its log of the calls it takes is read as they come.
        logind_ = std::make_unique<Child>(
            std::vector<std::string>{kPython, "-m", "dbusmock", "--template",
                                     template_.file("counting_logind.py")},
            std::map<std::string, std::string>{{"DBUS_SYSTEM_BUS_ADDRESS", address_},
                                               {"PYTHONUNBUFFERED", "1"}});
        for (int i = 0; i < 100 && !inhibitors(); ++i) std::this_thread::sleep_for(100ms);
    }

    // Empty when the daemon did not start.
    const std::string& address() const { return address_; }
    bool logind_ready() { return logind_ && inhibitors().has_value(); }
    // The calls logind took, one line each, as python3-dbusmock logs them.
    std::string logind_calls() { return logind_ ? logind_->out() : ""; }
    std::string log() { return daemon_.err() + (logind_ ? logind_->err() : ""); }

    // logind's ListInhibitors: per inhibitor "what | who | why | mode"; none when the call failed.
    std::optional<std::vector<std::string>> inhibitors() {
        Child call({system_program("dbus-send"), "--system", "--print-reply",
                    "--dest=org.freedesktop.login1", "/org/freedesktop/login1",
                    "org.freedesktop.login1.Manager.ListInhibitors"},
                   {{"DBUS_SYSTEM_BUS_ADDRESS", address_}});
        if (!call.wait_for_exit(10s) || call.exit_status() != 0) return std::nullopt;
        std::vector<std::string> found;
        std::istringstream reply(call.out());
        std::string line;
        while (std::getline(reply, line)) {
            if (line.find("struct {") != std::string::npos) {
                found.emplace_back();
                continue;
            }
            const auto start = line.find("string \"");
            if (start == std::string::npos || found.empty()) continue;
            const auto text_start = start + 8;
            const std::string text = line.substr(text_start, line.rfind('"') - text_start);
            found.back() += (found.back().empty() ? "" : " | ") + text;
        }
        return found;
    }

  private:
    TempDir template_;
    Child daemon_;
    std::string address_;
    std::unique_ptr<Child> logind_;
};

bool has_tools() {
    return !system_program("dbus-daemon").empty() && !system_program("dbus-send").empty();
}

std::function<bool(const std::string&)> contains(const std::string& part) {
    return [part](const std::string& out) { return out.find(part) != std::string::npos; };
}

// Two updates in one run: the meter misses the first command that starts its update mode, so the
// first update fails without a block sent; the second press updates it.
TEST(RunnerKeepAwake, OneInhibitorPerUpdateHeldWhileItRunsAndNoneAfter) {
    ASSERT_TRUE(has_tools()) << "apt-get install dbus-daemon";
    PrivateSystemBus bus(true);
    ASSERT_FALSE(bus.address().empty()) << bus.log();
    ASSERT_TRUE(bus.logind_ready()) << "apt-get install python3-dbusmock\n" << bus.log();
    EXPECT_EQ(bus.inhibitors(), std::vector<std::string>{});

    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--miss-enter", "1", "--expect-image", folder.file(kImageName)});
    ASSERT_FALSE(meter.path().empty()) << meter.log();
    auto env = offscreen_env(runtime);
    env["DBUS_SYSTEM_BUS_ADDRESS"] = bus.address();
    Child runner(runner_command({{3, meter.path()}}, folder.path(), {"--upload", "--presses", "2"}),
                 env);

    // The first update waits 9 s for the meter's restart after its first command.
    ASSERT_TRUE(runner.wait_for_output(contains(" Label6.visible true\n"), 60s))
        << runner_story(runner, meter);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(bus.inhibitors(), std::vector<std::string>{kInhibitor}) << "first update";

    ASSERT_TRUE(runner.wait_for_output(contains(" ProgressBar1.value 10\n"), 120s))
        << runner_story(runner, meter);
    // Exactly one, its own: the first update's lock went when that update ended, before this one
    // asked for a lock.
    EXPECT_EQ(bus.inhibitors(), std::vector<std::string>{kInhibitor}) << "while blocks flow";
    EXPECT_EQ(count_of(bus.logind_calls(), " Inhibit "), 2u) << bus.logind_calls();
    EXPECT_EQ(count_of(bus.logind_calls(), "locks held at Inhibit: 0\n"), 2u) << bus.logind_calls();

    ASSERT_TRUE(runner.wait_for_exit(kUpdateLimit)) << runner_story(runner, meter);
    EXPECT_EQ(runner.exit_status(), 0) << runner.out() << runner.err();
    EXPECT_EQ(count_of(runner.out(), " msgbox \"Power cycle the Meter\""), 1u) << runner.out();
    EXPECT_EQ(count_of(runner.out(), " msgbox \"Firmware Update\""), 1u) << runner.out();
    EXPECT_TRUE(meter.flash_matches(5s)) << meter.child().out() << meter.log();
    EXPECT_EQ(bus.inhibitors(), std::vector<std::string>{});
    EXPECT_EQ(count_of(bus.logind_calls(), " Inhibit "), 2u) << bus.logind_calls();
    EXPECT_EQ(count_of(runner.err(), "sleep"), 0u) << runner.err();
}

// A system bus without logind: the update goes on as before, and one line on standard error says
// that the computer may sleep. The meter never acknowledges the update mode, which ends the update
// in some 25 s instead of a whole one.
TEST(RunnerKeepAwake, WithoutLogindTheUpdateGoesOnAndOneLineSaysSo) {
    ASSERT_TRUE(has_tools()) << "apt-get install dbus-daemon";
    PrivateSystemBus bus(false);
    ASSERT_FALSE(bus.address().empty()) << bus.log();

    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--never-ack"});
    ASSERT_FALSE(meter.path().empty()) << meter.log();
    auto env = offscreen_env(runtime);
    env["DBUS_SYSTEM_BUS_ADDRESS"] = bus.address();
    Child runner(runner_command({{3, meter.path()}}, folder.path(), {"--upload", "--presses", "1"}),
                 env);
    ASSERT_TRUE(runner.wait_for_exit(120s)) << runner_story(runner, meter);
    EXPECT_EQ(runner.end_signal(), 0) << runner.err();
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();
    EXPECT_EQ(count_of(runner.out(), " msgbox \"Power cycle the Meter\""), 1u) << runner.out();
    const std::string said = runner.err();
    EXPECT_EQ(count_of(said, "sleep"), 1u) << said;
    EXPECT_NE(said.find("r462xe-fwupdate-runner: the computer may go to sleep during an update: "),
              std::string::npos)
        << said;
}

}  // namespace
}  // namespace r462xe::e2e
