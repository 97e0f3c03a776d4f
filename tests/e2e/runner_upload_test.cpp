// Whole updates in real time: the runner presses "Upload Firmware" and the virtual meter of
// r462xe-meter-sim answers over a pseudo-terminal, each byte taking its time on the line.
#include <gtest/gtest.h>

#include <signal.h>

#include <map>
#include <memory>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/failure_story.h"
#include "e2e/meter_and_image.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"
#include "e2e/transcript_checks.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kLastBlock = 59;
// A whole update with the search before it takes about 75 s; the slowest case here adds a port
// without a meter (13 s) or a second run.
constexpr auto kUpdateLimit = 240s;

// What the meter tool logs for the masked command that starts the update mode.
constexpr const char* kMaskedEnter = R"(@19200: "UPGR 1\r\n" (masked): acknowledged)";

std::vector<int> progress_values(const std::vector<TranscriptLine>& lines) {
    std::vector<int> values;
    for (const auto& value : values_of(lines, "ProgressBar1.value"))
        values.push_back(std::stoi(value));
    return values;
}

std::vector<int> blocks(int first, int last) {
    std::vector<int> numbers(static_cast<std::size_t>(last - first + 1));
    std::iota(numbers.begin(), numbers.end(), first);
    return numbers;
}

std::vector<int> operator+(std::vector<int> front, const std::vector<int>& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// The progress bar over one run: 0 at the press, then the number of each block as it goes out,
// then 0 again, whether the run ended with success or with a lost block reply.
std::vector<int> progress_of_run(const std::vector<int>& blocks_sent) {
    return std::vector<int>{0} + blocks_sent + std::vector<int>{0};
}

// The transcript up to the end of start-up (the search button handed back).
std::vector<TranscriptLine> startup_part(const std::vector<TranscriptLine>& lines) {
    const auto end = find_line(lines, "Command1.enabled", "true");
    return {lines.begin(),
            end ? lines.begin() + static_cast<std::ptrdiff_t>(*end) + 1 : lines.end()};
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

struct UpdateCase {
    const char* name;
    std::vector<std::string> meter_options;  // faults, besides --expect-image
    std::vector<int> bare_ports;             // terminals where nothing answers
    int meter_port;
    std::string list_items;              // the port list as start-up leaves it
    int list_index;                      // its selection: the meter's entry
    std::vector<int> blocks_sent;        // block numbers in the order they go out
    std::vector<std::string> meter_saw;  // log entries of the meter, in this order
};

void PrintTo(const UpdateCase& c, std::ostream* out) {
    *out << c.name;
}

class RunnerUpload : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(RunnerUpload, CompletesAndTheMeterHoldsTheImage) {
    const UpdateCase& given = GetParam();
    MeterAndImage setup(given.meter_options, true);
    const TempDir& folder = setup.folder;
    MeterSim& meter = setup.meter;
    ASSERT_FALSE(meter.path().empty()) << meter.log();
    std::vector<std::unique_ptr<Pty>> bare;
    std::map<int, std::string> ports = {{given.meter_port, meter.path()}};
    for (int number : given.bare_ports) {
        bare.push_back(std::make_unique<Pty>());
        ports[number] = bare.back()->path();
    }

    Child runner(runner_command(ports, folder.path(), {"--upload", "--presses", "1"}),
                 offscreen_env(setup.runtime));
    ASSERT_TRUE(runner.wait_for_exit(kUpdateLimit)) << runner_story(runner, meter);
    EXPECT_EQ(runner.exit_status(), 0) << runner.err();

    const auto lines = parse_transcript(runner.out());
    const auto startup = startup_part(lines);
    EXPECT_EQ(last_value(startup, "COM1.items"), given.list_items) << runner.out();
    EXPECT_EQ(last_value(startup, "COM1.index"), std::to_string(given.list_index));
    EXPECT_EQ(last_value(startup, "Label5.caption"), "\"SN55250001\"");

    EXPECT_EQ(values_of(lines, "msgbox"), std::vector<std::string>{kSuccessBox}) << runner.out();
    EXPECT_EQ(last_value(lines, "Label4.caption"), "\"V3.07\"");
    EXPECT_EQ(last_value(lines, "Label6.visible"), "false");
    for (const char* control : {"Command1", "COM1", "Command2"})
        EXPECT_EQ(last_value(lines, std::string(control) + ".enabled"), "true") << control;
    EXPECT_EQ(progress_values(lines), progress_of_run(given.blocks_sent));

    EXPECT_TRUE(meter.flash_matches(5s)) << meter.child().out() << meter.log();
    const std::string log = meter.log();
    std::size_t from = 0;
    for (const auto& entry : given.meter_saw) {
        from = log.find(entry, from);
        ASSERT_NE(from, std::string::npos) << "meter log lacks, in order: " << entry << "\n" << log;
    }
    // A terminal without a meter gets the search's probe once and its query three times, and is
    // left alone from then on.
    const std::string query = "*IDN?\r\n";
    for (const auto& port : bare)
        EXPECT_EQ(port->received(), std::string(1028, '\n') + query + query + query);
}

INSTANTIATE_TEST_SUITE_P(
    Meters, RunnerUpload,
    ::testing::Values(UpdateCase{.name = "Clean",
                                 .meter_options = {},
                                 .bare_ports = {},
                                 .meter_port = 1,
                                 .list_items = "[\"COM1  :SN55250001\"]",
                                 .list_index = 0,
                                 .blocks_sent = blocks(0, kLastBlock),
                                 .meter_saw = {}},
                      UpdateCase{.name = "RejectedBlockIsResent",
                                 .meter_options = {"--reject-block", "5"},
                                 .bare_ports = {},
                                 .meter_port = 1,
                                 .list_items = "[\"COM1  :SN55250001\"]",
                                 .list_index = 0,
                                 .blocks_sent = blocks(0, 5) + blocks(5, kLastBlock),
                                 .meter_saw = {"block 4 ok", "block 5 rejected (fault)",
                                               "block 5 ok", "block 6 ok"}},
                      UpdateCase{.name = "BesideAPortWithoutMeter",
                                 .meter_options = {},
                                 .bare_ports = {1},
                                 .meter_port = 3,
                                 .list_items = "[\"COM1\" \"COM3  :SN55250001\"]",
                                 .list_index = 1,
                                 .blocks_sent = blocks(0, kLastBlock),
                                 .meter_saw = {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct SilenceCase {
    const char* name;
    std::vector<std::string> meter_options;
    // Silent once only: the tool's --silent-from-block holds for every run, so the tool itself
    // is stopped while block 7 crosses the line, and goes on at the power cycle, as a hung meter.
    bool hang_once;
    bool completes;  // the second press brings the update to its end
};

void PrintTo(const SilenceCase& c, std::ostream* out) {
    *out << c.name;
}

class RunnerSilentMeter : public ::testing::TestWithParam<SilenceCase> {};

// The meter stops answering at block 7; the user power-cycles it while the message shows, and
// presses "Upload Firmware" again, which sends the whole image from block 0.
TEST_P(RunnerSilentMeter, PowerCycleMessageThenTheSecondPressStartsAgainFromBlock0) {
    const SilenceCase& given = GetParam();
    MeterAndImage setup(given.meter_options, true);
    const TempDir& folder = setup.folder;
    MeterSim& meter = setup.meter;
    ASSERT_FALSE(meter.path().empty()) << meter.log();

    // Answering after 2 s leaves time for the power cycle before OK.
    Child runner(runner_command({{3, meter.path()}}, folder.path(),
                                {"--upload", "--presses", "2", "--answer-after", "2"}),
                 offscreen_env(setup.runtime));
    const auto contains = [](const std::string& part) {
        return [part](const std::string& out) { return out.find(part) != std::string::npos; };
    };
    if (given.hang_once) {
        // The verdict comes some 0.5 s after the value is shown, when the frame has crossed.
        ASSERT_TRUE(runner.wait_for_output(contains(" ProgressBar1.value 7\n"), 60s))
            << runner_story(runner, meter);
        meter.child().send_signal(SIGSTOP);
    }
    const bool asked = runner.wait_for_output(contains("msgbox \"Power cycle the Meter\""), 60s);
    meter.child().send_signal(SIGUSR1);
    if (given.hang_once) meter.child().send_signal(SIGCONT);
    ASSERT_TRUE(asked) << runner.out();
    ASSERT_TRUE(runner.wait_for_exit(kUpdateLimit)) << runner_story(runner, meter);

    const auto lines = parse_transcript(runner.out());
    const auto first_box = find_line(lines, "msgbox", kPowerCycleBox);
    ASSERT_TRUE(first_box) << runner.out();
    // After the failure only "Upload Firmware" comes back: search and port choice stay locked.
    const auto second_press = find_in_order(lines,
                                            {{"ProgressBar1.value", "0"},
                                             {"Command2.enabled", "true"},
                                             {"Command1.enabled", "false"},
                                             {"Command2.enabled", "false"}},
                                            *first_box);
    ASSERT_EQ(second_press.size(), 4u) << runner.out();
    EXPECT_FALSE(find_line({lines.begin() + static_cast<std::ptrdiff_t>(*first_box),
                            lines.begin() + static_cast<std::ptrdiff_t>(second_press.back())},
                           "COM1.enabled", "true"));

    const auto first_run = progress_of_run(blocks(0, 7));
    const auto second_run = progress_of_run(given.completes ? blocks(0, kLastBlock) : blocks(0, 7));
    EXPECT_EQ(progress_values(lines), first_run + second_run);
    // The meter is known to be in its update mode: no 9-second wait before block 0 this time.
    const auto second_block_0 = find_in_order(
        lines, {{"ProgressBar1.value", "0"}, {"ProgressBar1.value", "0"}}, second_press.back());
    ASSERT_EQ(second_block_0.size(), 2u);
    EXPECT_LT(lines[second_block_0[1]].seconds - lines[second_press.back()].seconds, 9.0);

    const std::string log = meter.log();
    EXPECT_EQ(count_of(log, kPlainEnterLogged), 1u) << log;
    EXPECT_EQ(count_of(log, kMaskedEnter), 2u) << log;
    const auto cycled = log.find("power cycled");
    ASSERT_NE(cycled, std::string::npos) << log;
    EXPECT_NE(log.find(kMaskedEnter, cycled), std::string::npos) << "power cycle after the press";

    if (given.completes) {
        EXPECT_EQ(runner.exit_status(), 0) << runner.err();
        EXPECT_EQ(values_of(lines, "msgbox"),
                  (std::vector<std::string>{kPowerCycleBox, kSuccessBox}));
        EXPECT_EQ(last_value(lines, "Label4.caption"), "\"V3.07\"");
        for (const char* control : {"Command1", "COM1", "Command2"})
            EXPECT_EQ(last_value(lines, std::string(control) + ".enabled"), "true") << control;
        EXPECT_TRUE(meter.flash_matches(5s)) << meter.child().out() << log;
    } else {
        EXPECT_EQ(runner.exit_status(), 1) << runner.err();
        EXPECT_EQ(values_of(lines, "msgbox"),
                  (std::vector<std::string>{kPowerCycleBox, kPowerCycleBox}));
        EXPECT_EQ(last_value(lines, "Command2.enabled"), "true");
        EXPECT_EQ(last_value(lines, "Command1.enabled"), "false");
        EXPECT_EQ(last_value(lines, "COM1.enabled"), "false");
    }
}

INSTANTIATE_TEST_SUITE_P(Meters, RunnerSilentMeter,
                         ::testing::Values(SilenceCase{.name = "HangsOnceAtBlock7",
                                                       .meter_options = {},
                                                       .hang_once = true,
                                                       .completes = true},
                                           SilenceCase{
                                               .name = "SilentFromBlock7InEveryRun",
                                               .meter_options = {"--silent-from-block", "7"},
                                               .hang_once = false,
                                               .completes = false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A meter still in its update mode from an earlier failure: the search finds it, but "Upload
// Firmware" stays disabled without a message, as there is no model or serial number to check.
TEST(RunnerStartupInUpdateMode, ShowsUpdatingAndOffersNoUpload) {
    MeterAndImage setup({"--update-mode"}, false);
    const TempDir& folder = setup.folder;
    MeterSim& meter = setup.meter;
    ASSERT_FALSE(meter.path().empty()) << meter.log();

    Child runner(runner_command({{3, meter.path()}}, folder.path(), {"--upload"}),
                 offscreen_env(setup.runtime));
    ASSERT_TRUE(runner.wait_for_exit(60s)) << runner_story(runner, meter);
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();

    const auto lines = parse_transcript(runner.out());
    expect_in_order(lines, {{"Label7.caption", quoted("Updating")},
                            {"Label5.caption", quoted("Updating")},
                            {"Label4.caption", quoted("Updating")},
                            {"COM1.items", "[\"COM3  :Updating\"]"},
                            {"COM1.index", "0"},
                            {"COM1.enabled", "true"},
                            {"Command1.enabled", "true"}});
    EXPECT_FALSE(find_line(lines, "Command2.enabled", "true")) << runner.out();
    EXPECT_FALSE(find_line(lines, "msgbox")) << runner.out();
    EXPECT_TRUE(values_of(lines, "ProgressBar1.value").empty()) << runner.out();
    EXPECT_NE(runner.err().find("\"Upload Firmware\" is disabled, no press made"),
              std::string::npos)
        << runner.err();
    EXPECT_EQ(count_of(meter.log(), "UPGR"), 0u) << meter.log();
}

TEST(RunnerPulledCable, EndsTheUpdateWithThePowerCycleMessageAndSurvives) {
    MeterAndImage setup({"--unplug-at-block", "3"}, false);
    const TempDir& folder = setup.folder;
    MeterSim& meter = setup.meter;
    ASSERT_FALSE(meter.path().empty()) << meter.log();

    Child runner(runner_command({{1, meter.path()}}, folder.path(), {"--upload", "--presses", "1"}),
                 offscreen_env(setup.runtime));
    ASSERT_TRUE(runner.wait_for_exit(120s)) << runner_story(runner, meter);
    // It ended by itself after the message, not by a crash.
    EXPECT_EQ(runner.end_signal(), 0) << runner.err();
    EXPECT_EQ(runner.exit_status(), 1) << runner.err();

    const auto lines = parse_transcript(runner.out());
    EXPECT_EQ(values_of(lines, "msgbox"), std::vector<std::string>{kPowerCycleBox}) << runner.out();
    // The transfer stopped at the block during which the cable went.
    EXPECT_EQ(progress_values(lines), std::vector<int>{0} + blocks(0, 3));
    // The port list and "Upload Firmware" come back for the next try; the search stays locked.
    EXPECT_EQ(last_value(lines, "Command2.enabled"), "true");
    EXPECT_EQ(last_value(lines, "COM1.enabled"), "true");
    EXPECT_EQ(last_value(lines, "Command1.enabled"), "false");
    EXPECT_EQ(last_value(lines, "Label6.visible"), "false");
    // The vanished device cost no processor time while the program waited it out.
    EXPECT_LT(runner.cpu_seconds(), 0.1 * lines.back().seconds + 0.5);
}

}  // namespace
}  // namespace r462xe::e2e
