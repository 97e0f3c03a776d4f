// What the runner tells beyond the window's specified texts, in real time: why a port gave no
// meter (on standard error, where the start-up search shows no message), the details of the
// power-cycle message when the cable is pulled, and the progress bar's text through an update.
#include <gtest/gtest.h>

#include <algorithm>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"
#include "e2e/transcript_checks.h"

namespace r462xe::e2e {
namespace {

// The bar's texts from the update's first on: the search at start-up says which port it tries
// before.
std::vector<std::string> update_texts(const std::vector<std::string>& texts) {
    auto first = std::find_if(texts.begin(), texts.end(), [](const std::string& text) {
        return text.starts_with("\"Entering");
    });
    return {first, texts.end()};
}

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The seconds a bar text says are left: "... - about 38 s left" gives 38; -1 without a number.
int seconds_said(const std::string& text) {
    static const std::regex about(R"(about (\d+) s left)");
    std::smatch match;
    return std::regex_search(text, match, about) ? std::stoi(match[1]) : -1;
}

// Run as a user who may not open the terminal that stands in for the cable: as root, the user
// nobody, with the terminal given to the group dialout (as a USB serial adapter is) and closed to
// others; as anyone else, the terminal closed even to its owner.
TEST(RunnerWithoutTheRight, StandardErrorNamesTheDeviceAndTheMissingRight) {
    const bool root = ::geteuid() == 0;
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    // The user nobody must reach the program and the image: a copy in a folder open to all.
    const std::string runner = folder.file("r462xe-fwupdate-runner");
    std::filesystem::copy_file(bin("r462xe-fwupdate-runner"), runner);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(folder.file(kImageName).c_str(), 0644), 0);
    ASSERT_EQ(::chmod(runner.c_str(), 0755), 0);

    Pty port;
    std::vector<std::string> argv;
    if (root) {
        const std::string setpriv = system_program("setpriv");
        ASSERT_FALSE(setpriv.empty()) << "setpriv (util-linux) is needed to drop root's rights";
        const struct group* dialout = ::getgrnam("dialout");
        ASSERT_NE(dialout, nullptr) << "no group dialout on this system";
        ASSERT_EQ(::chown(port.path().c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(::chmod(port.path().c_str(), 0660), 0);
        ASSERT_EQ(::chown(runtime.path().c_str(), kNobody, kNobody), 0);
        argv = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
    } else {
        ASSERT_EQ(::chmod(port.path().c_str(), 0), 0);
    }
    argv.insert(argv.end(), {runner, "--port", "1=" + port.path(), "--folder", folder.path()});
    auto env = offscreen_env(runtime);
    env["HOME"] = runtime.path();
    Child child(argv, env);
    ASSERT_TRUE(child.wait_for_exit(60s)) << child.out() << child.err();
    EXPECT_EQ(child.exit_status(), 1) << child.err();

    const std::string said = child.err();
    const std::string why =
        std::string("your user may not open it (Permission denied).") +
        (root ? " It belongs to the group dialout: join that group (sudo usermod -aG dialout "
                "$USER), then log in again."
              : "");
    const std::string expected =
        "r462xe-fwupdate-runner: COM1 (" + port.path() + "): " + why + (root ? "\n" : "");
    EXPECT_NE(said.find(expected), std::string::npos) << said;
    // The port has no entry; the list's own tooltip names it and says the same.
    EXPECT_EQ(last_value(parse_transcript(child.out()), "COM1.tooltip"),
              quoted("COM1: " + port.path() + " - " + why))
        << child.out();
    // Once for the one search, and no message: the start-up search shows none.
    EXPECT_EQ(count_of(said, port.path()), 1u) << said;
    EXPECT_FALSE(find_line(parse_transcript(child.out()), "msgbox")) << child.out();
    EXPECT_EQ(port.received(), "");
}

// The cable goes when block 4 (number 3) has come: the power-cycle message's details say so,
// on the line before the message's own, and on standard error.
TEST(RunnerPulledCableDetails, SayTheDeviceWentAwayAndAtWhichBlock) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--unplug-at-block", "3"});
    ASSERT_FALSE(meter.path().empty()) << meter.log();

    Child runner(runner_command({{1, meter.path()}}, folder.path(), {"--upload", "--presses", "1"}),
                 offscreen_env(runtime));
    ASSERT_TRUE(runner.wait_for_exit(120s)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();

    const std::string details = "The cable or its device (COM1, " + meter.path() +
                                ") went away during block 4 of 60. Plug the cable in again. "
                                "Power cycle the meter, then press \\\"Upload Firmware\\\" again.";
    const auto lines = parse_transcript(runner.out());
    const auto box = find_line(lines, "msgbox", kPowerCycleBox);
    ASSERT_TRUE(box) << runner.out();
    ASSERT_GT(*box, 0u);
    EXPECT_EQ(lines[*box - 1].subject, "msgbox-details");
    EXPECT_EQ(lines[*box - 1].value, quoted(details + "\\n"));
    std::string on_one_line = details;
    on_one_line = std::regex_replace(on_one_line, std::regex(R"(\\")"), "\"");
    EXPECT_NE(runner.err().find("r462xe-fwupdate-runner: Power cycle the Meter: " + on_one_line),
              std::string::npos)
        << runner.err();

    // The bar said where the update stood until the message came, then nothing.
    const auto texts = update_texts(values_of(lines, "ProgressBar1.text"));
    ASSERT_EQ(texts.size(), 2u + 4u + 1u) << runner.out();
    EXPECT_EQ(texts[2], quoted("Block 1 of 60 - about 51 s left"));
    EXPECT_EQ(texts[5].rfind("\"Block 4 of 60 - about ", 0), 0u) << texts[5];
    EXPECT_EQ(texts.back(), "\"\"");
}

// A whole update: the bar's text tells each phase, and the time it says is left holds to within
// a few seconds of the time the update then took.
TEST(RunnerProgressText, TellsThePhaseAndTheTimeLeftThroughAWholeUpdate) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--expect-image", folder.file(kImageName)});
    ASSERT_FALSE(meter.path().empty()) << meter.log();

    Child runner(runner_command({{1, meter.path()}}, folder.path(), {"--upload", "--presses", "1"}),
                 offscreen_env(runtime));
    ASSERT_TRUE(runner.wait_for_exit(240s)) << runner.out();
    ASSERT_EQ(runner.exit_status(), 0) << runner.err();
    EXPECT_TRUE(meter.flash_matches(5s));

    const auto lines = parse_transcript(runner.out());
    const auto success = find_line(lines, "msgbox");
    ASSERT_TRUE(success) << runner.out();
    const double end = lines[*success].seconds;
    std::vector<std::string> texts;
    bool update_began = false;
    for (const auto& line : lines) {
        if (line.subject != "ProgressBar1.text") continue;
        // The search's texts at start-up come before the update's.
        update_began = update_began || line.value.starts_with("\"Entering");
        if (!update_began) continue;
        texts.push_back(line.value);
        if (line.value == "\"\"") continue;
        const double took = end - line.seconds;
        EXPECT_NEAR(seconds_said(line.value), took, 3.0) << line.value;
    }
    ASSERT_EQ(texts.size(), 65u) << runner.out();
    EXPECT_EQ(texts[0], quoted("Entering the update mode - about 63 s left"));
    EXPECT_EQ(texts[1], quoted("Entering the update mode - about 54 s left"));
    for (int block = 1; block <= 60; ++block) {
        const std::string& text = texts[static_cast<std::size_t>(block) + 1];
        EXPECT_EQ(text.rfind("\"Block " + std::to_string(block) + " of 60 - about ", 0), 0u)
            << text;
    }
    EXPECT_EQ(texts[62], quoted("The meter is restarting - about 15 s left"));
    EXPECT_EQ(texts[63], quoted("Checking the meter - about 5 s left"));
    EXPECT_EQ(texts[64], "\"\"");
}

}  // namespace
}  // namespace r462xe::e2e
