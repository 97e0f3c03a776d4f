// The runner's start-up in real time, over a pseudo-terminal where no meter answers.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/transcript.h"
#include "e2e/transcript_checks.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

// What start-up shows before it touches a port: "Searching" and every control disabled.
const std::vector<std::pair<std::string, std::string>> kStartupShown = {
    {"Label6.visible", "false"},         {"Label4.caption", "\"Searching\""},
    {"Label5.caption", "\"Searching\""}, {"Label7.caption", "\"Searching\""},
    {"COM1.items", "[\"COM1\"]"},        {"COM1.index", "0"},
    {"Command1.enabled", "false"},       {"COM1.enabled", "false"},
    {"Command2.enabled", "false"},
};

TEST(RunnerStartup, WithoutMeterListsThePortAndLeavesUploadDisabled) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, image_of_length(kImageBytes));
    Pty port;
    Child runner(
        {bin("r462xe-fwupdate-runner"), "--port", "1=" + port.path(), "--folder", folder.path()},
        offscreen_env(runtime));
    ASSERT_TRUE(runner.wait_for_exit(120s)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();

    const auto lines = parse_transcript(runner.out());
    auto expected = kStartupShown;
    expected.insert(expected.end(), {{"COM1.items", "[]"},
                                     {"Label4.caption", "\"\""},
                                     {"Label5.caption", "\"\""},
                                     {"Label7.caption", "\"\""},
                                     {"COM1.items", "[\"COM1\"]"},
                                     {"COM1.index", "0"},
                                     {"COM1.enabled", "true"},
                                     {"Command1.enabled", "true"}});
    const auto found = expect_in_order(lines, expected);
    EXPECT_FALSE(find_line(lines, "Command2.enabled", "true")) << runner.out();
    EXPECT_FALSE(find_line(lines, "msgbox")) << runner.out();
    EXPECT_EQ(last_value(lines, "COM1.index"), "0");
    // The entry's tooltip names the device behind it and what the search found there.
    EXPECT_EQ(last_value(lines, "COM1.item-tips"),
              "[\"COM1: " + port.path() +
                  " - it opened, but nothing answered. Check that the meter is switched on and "
                  "faces the cable.\"]")
        << runner.out();
    // The search waited for answers in real time before it gave the controls back.
    if (found.size() == expected.size()) {
        EXPECT_GE(lines[found.back()].seconds, 2.0);
        // Waiting costs no processor time: a wait that polls would use most of those seconds.
        EXPECT_LT(runner.cpu_seconds(), 0.1 * lines.back().seconds + 0.5);
    }

    // The port was really opened and written: the update-mode probe and the identification query.
    const std::string sent = port.received();
    EXPECT_NE(sent.find(std::string(1028, '\n')), std::string::npos);
    EXPECT_NE(sent.find("*IDN?\r\n"), std::string::npos);
}

// A display named but not answering: Qt alone would abort; the runner says which display it
// could not reach and runs the window offscreen.
TEST(RunnerStartup, DeadDisplayIsSaidAndTheWindowRunsOffscreen) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, image_of_length(kImageBytes));
    Pty port;
    Child runner(
        {bin("r462xe-fwupdate-runner"), "--port", "1=" + port.path(), "--folder", folder.path()},
        {{"DISPLAY", ":93"}, {"XDG_RUNTIME_DIR", runtime.path()}},
        {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    ASSERT_TRUE(runner.wait_for_exit(120s)) << runner.err();
    EXPECT_EQ(runner.end_signal(), 0);
    // No meter answered: the run did not update, and that alone decides the status.
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();
    EXPECT_EQ(runner.err(),
              "r462xe-fwupdate-runner: cannot reach the display :93 (DISPLAY) to show the window "
              "on: no X server answers there; the window runs offscreen\n");
    const auto lines = parse_transcript(runner.out());
    EXPECT_TRUE(find_line(lines, "Command1.enabled", "true")) << runner.out();
}

struct ImageCase {
    const char* name;
    std::size_t length;
};

void PrintTo(const ImageCase& c, std::ostream* out) {
    *out << c.name;
}

class RunnerWrongImage : public ::testing::TestWithParam<ImageCase> {};

TEST_P(RunnerWrongImage, ShowsTheFileErrorAndEndsWithoutProbing) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, image_of_length(GetParam().length));
    Pty port;
    Child runner({bin("r462xe-fwupdate-runner"), "--port", "1=" + port.path(), "--folder",
                  folder.path(), "--answer-after", "0.2", "--stay"},
                 offscreen_env(runtime));
    // --stay: the program must end by itself once the message has been answered.
    ASSERT_TRUE(runner.wait_for_exit(20s)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();

    const auto lines = parse_transcript(runner.out());
    auto expected = kStartupShown;
    expected.push_back({"msgbox", "\"file error\" \" Firmware image file loading error!\""});
    expect_in_order(lines, expected);
    EXPECT_EQ(lines.back().subject, "msgbox") << runner.out();
    EXPECT_EQ(port.received(), "");
}

INSTANTIATE_TEST_SUITE_P(Lengths, RunnerWrongImage,
                         ::testing::Values(ImageCase{"empty", 0},
                                           ImageCase{"one_short", kImageBytes - 1},
                                           ImageCase{"one_long", kImageBytes + 1}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ArgumentsCase {
    const char* name;
    std::vector<std::string> arguments;
};

// The arguments themselves, as the command line would show them.
void PrintTo(const ArgumentsCase& c, std::ostream* out) {
    for (std::size_t i = 0; i < c.arguments.size(); ++i) *out << (i ? " " : "") << c.arguments[i];
}

class RunnerArguments : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(RunnerArguments, RefusesWithStatus2AndSaysWhy) {
    TempDir runtime;
    std::vector<std::string> argv = {bin("r462xe-fwupdate-runner")};
    const auto& arguments = GetParam().arguments;
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Child runner(argv, offscreen_env(runtime));
    ASSERT_TRUE(runner.wait_for_exit(10s));
    EXPECT_EQ(runner.exit_status(), 2);
    EXPECT_EQ(runner.out(), "");
    EXPECT_NE(runner.err().find("Usage: r462xe-fwupdate-runner [options]"), std::string::npos)
        << runner.err();
}

INSTANTIATE_TEST_SUITE_P(
    Bad, RunnerArguments,
    ::testing::Values(ArgumentsCase{"unknown_option", {"--bogus"}},
                      ArgumentsCase{"port_without_value", {"--port"}},
                      ArgumentsCase{"port_without_device", {"--port", "1"}},
                      ArgumentsCase{"port_number_0", {"--port", "0=/dev/null"}},
                      ArgumentsCase{"port_number_17", {"--port", "17=/dev/null"}},
                      ArgumentsCase{"port_number_not_a_number", {"--port", "x=/dev/null"}},
                      ArgumentsCase{"port_with_empty_device", {"--port", "1="}},
                      ArgumentsCase{"port_given_twice",
                                    {"--port", "1=/dev/a", "--port", "1=/dev/b"}},
                      ArgumentsCase{"no_presses", {"--presses", "0"}},
                      ArgumentsCase{"presses_not_a_number", {"--upload", "--presses", "2x"}},
                      ArgumentsCase{"negative_answer_time", {"--answer-after", "-1"}},
                      ArgumentsCase{"answer_time_not_a_number", {"--answer-after", "soon"}},
                      ArgumentsCase{"folder_without_value", {"--folder"}},
                      ArgumentsCase{"stray_argument", {"stray"}},
                      ArgumentsCase{"flag_with_a_value", {"--upload=yes"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct InfoCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> printed;  // parts of standard output, in this order
};

void PrintTo(const InfoCase& c, std::ostream* out) {
    *out << c.name;
}

class RunnerInfo : public ::testing::TestWithParam<InfoCase> {};

TEST_P(RunnerInfo, PrintsAndExits0) {
    TempDir runtime;
    std::vector<std::string> argv = {bin("r462xe-fwupdate-runner")};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    Child runner(argv, offscreen_env(runtime));
    ASSERT_TRUE(runner.wait_for_exit(10s));
    EXPECT_EQ(runner.exit_status(), 0) << runner.err();
    EXPECT_EQ(runner.err(), "");
    std::size_t from = 0;
    for (const std::string& part : GetParam().printed) {
        const auto found = runner.out().find(part, from);
        ASSERT_NE(found, std::string::npos) << part << " in\n" << runner.out();
        from = found + part.size();
    }
}

const std::vector<std::string> kHelp = {"Usage: r462xe-fwupdate-runner [options]\n",
                                        "-h, --help",
                                        "-v, --version",
                                        "--port <N=DEVICE>",
                                        "--folder <DIR>",
                                        "--upload",
                                        "--presses <K>",
                                        "--answer-after <S>",
                                        "--stay"};

INSTANTIATE_TEST_SUITE_P(
    Asked, RunnerInfo,
    ::testing::Values(InfoCase{"help", {"--help"}, kHelp}, InfoCase{"h", {"-h"}, kHelp},
                      InfoCase{"help_among_others", {"--upload", "--help"}, kHelp},
                      InfoCase{"version", {"--version"}, {"r462xe-fwupdate-runner 3.07\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace r462xe::e2e
