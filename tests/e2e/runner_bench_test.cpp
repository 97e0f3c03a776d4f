// A service bench: one runner per cable, side by side, each updating its own meter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"
#include "virtual/rig/csv_fields.h"

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

    // One history for the user, one whole record per runner, each with its own meter.
    Child sha256sum({system_program("sha256sum"), folder.file(kImageName)});
    ASSERT_TRUE(sha256sum.wait_for_exit(10s));
    const std::string digest = sha256sum.out().substr(0, 64);
    std::ifstream history(runtime.path() + "/state/r462xe-fwupdate/history.csv", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(history, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u + kStations);
    EXPECT_TRUE(lines[0].starts_with("Time,Program version,Port,Device,Model,Serial number,"));
    std::vector<std::string> recorded_serials;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_TRUE(lines[i].ends_with("\r"));
        const auto fields = testing::csv_fields(lines[i]);
        ASSERT_EQ(fields.size(), static_cast<std::size_t>(testing::kHistoryColumns));
        EXPECT_THAT(fields[testing::kTime],
                    ::testing::MatchesRegex("20[0-9-]{8}T[0-9:]{8}[+-][0-9][0-9]:[0-9][0-9]"));
        EXPECT_EQ(fields[testing::kPort], "COM1");
        EXPECT_EQ(fields[testing::kModel], "R4622E");
        EXPECT_EQ(fields[testing::kVersionBefore], "V3.05");
        EXPECT_EQ(fields[testing::kVersionAfter], "V3.07");
        EXPECT_EQ(fields[testing::kImage], kImageName);
        EXPECT_EQ(fields[testing::kImageSha256], digest);
        EXPECT_EQ(fields[testing::kOutcome], "updated");
        EXPECT_EQ(fields[testing::kBlocksSent], "60");
        recorded_serials.push_back(fields[testing::kSerial]);
        const auto station = std::ranges::find(serials, fields[testing::kSerial]);
        ASSERT_NE(station, serials.end());
        EXPECT_EQ(fields[testing::kDevice],
                  meters[static_cast<std::size_t>(station - serials.begin())]->path());
    }
    EXPECT_THAT(recorded_serials, ::testing::UnorderedElementsAreArray(serials));
}

}  // namespace
}  // namespace r462xe::e2e
