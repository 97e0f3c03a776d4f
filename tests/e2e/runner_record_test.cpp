// Record and replay in real time: the runner records an update of the virtual meter with
// --record; the meter tool plays that recording with --replay to another runner, which must see
// the same window; a recording with one host byte changed makes the replay say where the host
// left it, and the runner meets a silent meter.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/meter_and_image.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

constexpr auto kUpdateLimit = 240s;
constexpr int kMeterPort = 3;

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The window's changes as the user saw them, without their times. The progress bar's estimate of
// the time left follows the measured pace of the blocks, which no two runs share to the second: its
// phases are compared, not its seconds. The port list's tooltips name the device behind the port,
// each run's own pseudo-terminal, and the success details the update history in each run's own
// scratch folder: their names are left out.
std::vector<std::string> window_of(const std::string& transcript) {
    static const std::regex time_left(" - about [0-9]+ s left");
    static const std::regex terminal("/dev/pts/[0-9]+");
    static const std::regex scratch("/tmp/r462xe-e2e-[A-Za-z0-9]+/");
    std::vector<std::string> seen;
    for (const auto& line : parse_transcript(transcript)) {
        std::string value = std::regex_replace(line.value, time_left, "");
        value = std::regex_replace(value, terminal, "/dev/pts/N");
        value = std::regex_replace(value, scratch, "/tmp/SCRATCH/");
        std::string change = line.subject + " " + value;
        // A phase whose estimate changed in one run and not in the other is still one phase.
        if (!seen.empty() && seen.back() == change) continue;
        seen.push_back(std::move(change));
    }
    return seen;
}

struct RecordedUpdate {
    MeterAndImage setup{{}, true};
    std::string recording;
    std::string transcript;
    int status = -1;

    RecordedUpdate() {
        const std::string file = setup.folder.file("session.rec");
        Child runner(runner_command({{kMeterPort, setup.meter.path()}}, setup.folder.path(),
                                    {"--upload", "--presses", "1", "--record", file}),
                     offscreen_env(setup.runtime));
        if (!runner.wait_for_exit(kUpdateLimit)) return;
        status = runner.exit_status();
        transcript = runner.out();
        recording = read_file(file);
    }
};

// Plays `recording` with the meter tool to a runner; what the runner and the tool said.
struct Replay {
    TempDir folder;
    TempDir runtime;
    std::string transcript;
    std::string tool_out;
    int status = -1;

    Replay(const std::string& recording, const std::string& image) {
        folder.write(kImageName, image);
        folder.write("session.rec", recording);
        MeterSim meter({"--replay", folder.file("session.rec")});
        Child runner(runner_command({{kMeterPort, meter.path()}}, folder.path(),
                                    {"--upload", "--presses", "1"}),
                     offscreen_env(runtime));
        if (!runner.wait_for_exit(kUpdateLimit)) return;
        status = runner.exit_status();
        transcript = runner.out();
        tool_out = meter.child().out();
    }
};

TEST(RunnerRecordAndReplay, TheReplayedMeterGivesTheSameWindow) {
    RecordedUpdate recorded;
    ASSERT_EQ(recorded.status, 0) << recorded.transcript;
    ASSERT_TRUE(recorded.setup.meter.flash_matches(5s));
    // The notes say what the session was made with and how it ended.
    EXPECT_NE(recorded.recording.find("# r462xe recording 1\n"), std::string::npos);
    EXPECT_NE(recorded.recording.find("# image R462XE_V307_20200521.QF sha256 "),
              std::string::npos);
    EXPECT_NE(recorded.recording.find("# outcome succeeded\n"), std::string::npos);
    // "*IDN?" and the meter's answer, at 9600 baud, as the host wrote and received them.
    EXPECT_NE(recorded.recording.find(" host 9600 2a49444e3f0d0a\n"), std::string::npos);
    EXPECT_NE(recorded.recording.find(" meter 9600 4d6172656c696e642c5234363232452c"),
              std::string::npos);

    const Replay replay(recorded.recording, test_image());
    EXPECT_EQ(replay.status, 0) << replay.transcript << replay.tool_out;
    EXPECT_EQ(replay.tool_out.find("replay diverged"), std::string::npos) << replay.tool_out;
    EXPECT_EQ(window_of(replay.transcript), window_of(recorded.transcript));
}

TEST(RunnerRecordAndReplay, AnotherCheckByteInBlock17IsFoundAndTheMeterFallsSilent) {
    RecordedUpdate recorded;
    ASSERT_EQ(recorded.status, 0) << recorded.transcript;
    // Block 17's frame: its masked number alone, its 1,024 bytes, its check byte alone.
    std::istringstream lines(recorded.recording);
    std::vector<std::string> text;
    for (std::string line; std::getline(lines, line);) text.push_back(line);
    const std::string number = " host 19200 7a";  // 17 ^ 0x6B
    std::size_t check_line = 0;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i].size() > number.size() &&
            text[i].compare(text[i].size() - number.size(), number.size(), number) == 0 &&
            text[i + 1].find(" host 19200 ") != std::string::npos &&
            text[i + 2].find(" host 19200 ") != std::string::npos) {
            check_line = i + 2;
            break;
        }
    }
    ASSERT_NE(check_line, 0u) << "no frame of block 17 in the recording";
    std::string& check = text[check_line];
    const std::size_t digit = check.size() - 1;
    check[digit] = check[digit] == '0' ? '1' : '0';
    std::string changed;
    for (const auto& line : text) changed += line + "\n";

    const Replay replay(changed, test_image());
    const std::string where = "replay diverged: recording line " + std::to_string(check_line + 1) +
                              ", offset 0: another byte";
    EXPECT_NE(replay.tool_out.find(where), std::string::npos) << replay.tool_out;
    EXPECT_EQ(replay.status, 1) << replay.transcript;
    EXPECT_EQ(values_of(parse_transcript(replay.transcript), "msgbox"),
              std::vector<std::string>{kPowerCycleBox});
}

}  // namespace
}  // namespace r462xe::e2e
