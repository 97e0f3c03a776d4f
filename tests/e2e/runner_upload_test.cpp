// Whole updates in real time: the runner presses "Upload Firmware" and the virtual meter of
// r462xe-meter-sim answers over a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "e2e/process.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kImageName = "R462XE_V307_20200521.QF";
constexpr const char* kSuccessBox =
    "\"Firmware Update\" \"Firmware Update was completed successfully.\"";

// The meter tool on its own pseudo-terminal, whose path it prints as its first line.
struct MeterSim {
    explicit MeterSim(std::vector<std::string> options) : child(with_tool(std::move(options))) {
        const bool started = child.wait_for_output(
            [](const std::string& out) { return out.find('\n') != std::string::npos; }, 10s);
        if (started) path = child.out().substr(0, child.out().find('\n'));
    }
    static std::vector<std::string> with_tool(std::vector<std::string> options) {
        options.insert(options.begin(), bin("r462xe-meter-sim"));
        return options;
    }
    Child child;
    std::string path;
};

std::string test_image() {
    std::string bytes(61440, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 31 + 7) % 251);
    return bytes;
}

std::vector<int> progress_values(const std::vector<TranscriptLine>& lines) {
    std::vector<int> values;
    for (const auto& line : lines)
        if (line.subject == "ProgressBar1.value") values.push_back(std::stoi(line.value));
    return values;
}

TEST(RunnerUpload, CompletesAndTheMeterHoldsTheImage) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--expect-image", folder.file(kImageName)});
    ASSERT_FALSE(meter.path.empty()) << meter.child.err();

    Child runner({bin("r462xe-fwupdate-runner"), "--port", "1=" + meter.path, "--folder",
                  folder.path(), "--upload"},
                 {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime.path()}});
    ASSERT_TRUE(runner.wait_for_exit(240s)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 0) << runner.err();

    const auto lines = parse_transcript(runner.out());
    EXPECT_TRUE(find_line(lines, "msgbox", kSuccessBox)) << runner.out();
    EXPECT_EQ(last_value(lines, "Label4.caption"), "\"V3.07\"");
    EXPECT_EQ(last_value(lines, "Label6.visible"), "false");
    EXPECT_EQ(last_value(lines, "Command2.enabled"), "true");
    // Every block went out once, in order: after the start, the bar counts 1 to 59 step by step.
    const auto values = progress_values(lines);
    const auto first = std::find(values.begin(), values.end(), 1);
    ASSERT_NE(first, values.end()) << runner.out();
    const std::vector<int> sent(first, first + std::min<std::ptrdiff_t>(59, values.end() - first));
    std::vector<int> expected(59);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(sent, expected);

    meter.child.wait_for_output(
        [](const std::string& out) { return out.find("flash matches image") != std::string::npos; },
        5s);
    EXPECT_NE(meter.child.out().find("flash matches image"), std::string::npos)
        << meter.child.out() << meter.child.err();
}

TEST(RunnerUpload, PulledCableEndsTheUpdateWithThePowerCycleMessage) {
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    MeterSim meter({"--unplug-at-block", "3"});
    ASSERT_FALSE(meter.path.empty()) << meter.child.err();

    Child runner({bin("r462xe-fwupdate-runner"), "--port", "1=" + meter.path, "--folder",
                  folder.path(), "--upload", "--presses", "1"},
                 {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime.path()}});
    ASSERT_TRUE(runner.wait_for_exit(120s)) << runner.out();
    EXPECT_EQ(runner.exit_status(), 1);

    const auto lines = parse_transcript(runner.out());
    const auto box = find_line(lines, "msgbox");
    ASSERT_TRUE(box) << runner.out();
    EXPECT_TRUE(lines[*box].value.starts_with("\"Power cycle the Meter\"")) << lines[*box].value;
    EXPECT_FALSE(find_line(lines, "msgbox", kSuccessBox));
    const auto values = progress_values(lines);
    ASSERT_FALSE(values.empty());
    EXPECT_LE(*std::max_element(values.begin(), values.end()), 4);
    // The vanished device cost no processor time while the program waited it out.
    EXPECT_LT(runner.cpu_seconds(), 0.1 * lines.back().seconds + 0.5);
}

}  // namespace
}  // namespace r462xe::e2e
