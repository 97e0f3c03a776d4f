// A service bench: one runner per cable, side by side, each updating its own meter.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kStations = 3;
// One runner's search and update of one meter take about 75 s.
constexpr Seconds kOneUpdate = 75s;

TEST(RunnerBench, ThreeRunnersUpdateThreeMetersAtOnce) {
    // One folder with the image and one runtime folder for all, as for one user at one bench.
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, test_image());
    std::vector<std::string> serials;
    std::vector<std::unique_ptr<MeterSim>> meters;
    for (int station = 1; station <= kStations; ++station) {
        serials.push_back("SN5525000" + std::to_string(station));
        meters.push_back(std::make_unique<MeterSim>(std::vector<std::string>{
            "--serial", serials.back(), "--expect-image", folder.file(kImageName)}));
        ASSERT_FALSE(meters.back()->path().empty()) << meters.back()->log();
    }

    // Each runner knows only its own cable.
    const auto started = Clock::now();
    std::vector<std::unique_ptr<Child>> runners;
    for (const auto& meter : meters) {
        runners.push_back(std::make_unique<Child>(
            runner_command({{1, meter->path()}}, folder.path(), {"--upload", "--presses", "1"}),
            offscreen_env(runtime)));
    }
    for (const auto& runner : runners) ASSERT_TRUE(runner->wait_for_exit(4 * kOneUpdate));
    const Seconds wall = Clock::now() - started;

    for (std::size_t i = 0; i < runners.size(); ++i) {
        SCOPED_TRACE("station " + std::to_string(i + 1));
        Child& runner = *runners[i];
        EXPECT_EQ(runner.exit_status(), 0) << runner.err();
        const auto lines = parse_transcript(runner.out());
        EXPECT_EQ(last_value(lines, "Label5.caption"), "\"" + serials[i] + "\"") << runner.out();
        EXPECT_EQ(values_of(lines, "msgbox"), std::vector<std::string>{kSuccessBox})
            << runner.out();
        EXPECT_TRUE(meters[i]->flash_matches(10s)) << meters[i]->child().out() << meters[i]->log();
    }
    // Side by side, not one after another: the three take little more than one alone.
    EXPECT_LT(wall.count(), 2 * kOneUpdate.count());
}

}  // namespace
}  // namespace r462xe::e2e
