// The bar's text through an update: the phase and the time left, set as each phase begins and as
// each block goes out; gone before the message that ends the update. The bar's value and maximum
// stay as they were: the text is a change of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "rig/messages.h"
#include "rig/upload_rig.h"

namespace r462xe {
namespace {

using testing::kMeterPort;
using testing::kPowerCycleTitle;
using testing::UploadRig;

struct TextChange {
    double time;
    std::string text;
};

// The bar's texts from the press on (the search's texts before it are the start-up's), or from a
// later time.
std::vector<TextChange> texts_since(const UploadRig& rig, double since) {
    std::vector<TextChange> found;
    const std::string prefix = "ProgressBar1.text ";
    for (std::size_t i = rig.changes_at_press(); i < rig.changes.size(); ++i) {
        const auto& change = rig.changes[i];
        if (change.time >= since && change.line.rfind(prefix, 0) == 0)
            found.push_back({change.time, change.line.substr(prefix.size())});
    }
    return found;
}

std::vector<std::string> texts_only(const std::vector<TextChange>& changes) {
    std::vector<std::string> texts;
    for (const auto& change : changes) texts.push_back(change.text);
    return texts;
}

// The seconds a text says are left: "... - about 38 s left" gives 38; -1 without a number.
int seconds_said(const std::string& text) {
    static const std::regex about(R"(about (\d+) s left)");
    std::smatch match;
    return std::regex_search(text, match, about) ? std::stoi(match[1]) : -1;
}

// Every time said was at least the time it took, and less than 1.5 s more.
void expect_times_said_hold(const std::vector<TextChange>& changes, double end) {
    for (const auto& change : changes) {
        if (change.text == "\"\"") continue;
        const double took = end - change.time;
        const int said = seconds_said(change.text);
        EXPECT_GE(said, took) << change.text;
        EXPECT_LT(said - took, 1.5) << change.text;
    }
}

TEST(UpdateBarText, AWholeUpdateFromNormalModeTellsEachPhaseAndTheTimeLeft) {
    UploadRig rig;
    rig.world.add_meter(kMeterPort);
    rig.load();
    std::string text_under_the_box = "(no box)";
    rig.world.messages.on_show = [&](const sim::ShownMessage&) {
        text_under_the_box = rig.form.ProgressBar1.text();
    };
    rig.press_upload();
    rig.run_for(120);
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    const double end = rig.world.messages.shown[0].time;

    const auto changes = texts_since(rig, rig.press_time());
    const auto texts = texts_only(changes);
    // 2 while the meter enters its update mode, 1 per block, 2 after the blocks, and the end.
    ASSERT_EQ(texts.size(), 65u);
    // 9 + 3 s, 60 blocks at 0.6 s (a frame's 0.535 s on the line, read on the 6th tick), 10 s
    // and 4.5 s; then 3 s of those waits.
    EXPECT_EQ(changes[0].text, "\"Entering the update mode - about 63 s left\"");
    EXPECT_EQ(changes[0].time, rig.press_time());
    EXPECT_EQ(changes[1].text, "\"Entering the update mode - about 54 s left\"");
    EXPECT_EQ(changes[1].time, rig.host_writes().at(1).time);  // the masked "UPGR 1"
    for (int block = 1; block <= 60; ++block) {
        const std::string& text = texts[static_cast<std::size_t>(block) + 1];
        EXPECT_EQ(text.rfind("\"Block " + std::to_string(block) + " of 60 - about ", 0), 0u)
            << text;
    }
    EXPECT_EQ(texts[2], "\"Block 1 of 60 - about 51 s left\"");
    EXPECT_EQ(texts[24], "\"Block 23 of 60 - about 38 s left\"");
    EXPECT_EQ(texts[61], "\"Block 60 of 60 - about 16 s left\"");
    EXPECT_THAT(std::vector<std::string>(texts.end() - 3, texts.end()),
                ::testing::ElementsAre("\"The meter is restarting - about 15 s left\"",
                                       "\"Checking the meter - about 5 s left\"", "\"\""));
    EXPECT_NEAR(changes[63].time - changes[62].time, 10.0, 1e-3);
    expect_times_said_hold(changes, end);

    // The message of the end shows over a bar without text; the bar's values are the transfer's.
    EXPECT_EQ(text_under_the_box, "");
    EXPECT_EQ(rig.form.ProgressBar1.text(), "");
    std::vector<std::string> values{"0"};
    for (int block = 0; block < 60; ++block) values.push_back(std::to_string(block));
    values.push_back("0");
    EXPECT_EQ(rig.progress_values(), values);
}

TEST(UpdateBarText, FromTheUpdateModeOnlyTheAcknowledgementWaitIsAhead) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.start_in_update_mode = true;
    rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    rig.handle([&] { rig.form.COM1.user_pick(0); });
    ASSERT_TRUE(rig.form.Command2.enabled());
    rig.press_upload();
    rig.run_for(120);
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);

    const auto changes = texts_since(rig, rig.press_time());
    ASSERT_EQ(changes.size(), 64u);
    EXPECT_EQ(changes[0].text, "\"Entering the update mode - about 54 s left\"");
    EXPECT_EQ(changes[1].text, "\"Block 1 of 60 - about 51 s left\"");
    expect_times_said_hold(changes, rig.world.messages.shown[0].time);
}

// A meter that takes 0.2 s longer over each block: the first block's time left comes from the
// line speed, every later one from the pace measured so far.
TEST(UpdateBarText, TheTimeLeftFollowsTheMeasuredPace) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.reply_delay = 0.205;
    rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    rig.press_upload();
    rig.run_for(120);
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);

    auto changes = texts_since(rig, rig.press_time());
    ASSERT_EQ(changes.size(), 65u);
    EXPECT_EQ(changes[2].text, "\"Block 1 of 60 - about 51 s left\"");
    // A block now takes 0.8 s: 60 of them 48 s, not 36 s.
    EXPECT_NEAR(changes[61].time - changes[2].time, 59 * 0.8, 1e-3);
    changes.erase(changes.begin(), changes.begin() + 3);
    expect_times_said_hold(changes, rig.world.messages.shown[0].time);
}

// A block the meter rejects goes out again and takes its time again: the pace counts it twice, so
// the time said from the second sending on still holds. Counted once, the pace would come out a
// block's worth too slow over the blocks sent so far, and the time said some 5 s too long.
TEST(UpdateBarText, ABlockSentAgainCountsAgainInThePace) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.reject_block = 5;
    rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    rig.press_upload();
    rig.run_for(120);
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);

    const auto blocks = rig.frame_blocks();
    ASSERT_EQ(blocks.size(), 61u);
    EXPECT_EQ(blocks[5], 5);
    EXPECT_EQ(blocks[6], 5);

    // Block 6 says the same both times it goes out, which is one change of the text.
    auto changes = texts_since(rig, rig.press_time());
    ASSERT_EQ(changes.size(), 65u);
    EXPECT_EQ(changes[8].text.rfind("\"Block 7 of 60 - about ", 0), 0u) << changes[8].text;
    changes.erase(changes.begin(), changes.begin() + 8);
    expect_times_said_hold(changes, rig.world.messages.shown[0].time);
}

TEST(UpdateBarText, AFailureTakesTheTextAwayBeforeItsMessage) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.silent_from_block = 20;
    rig.world.add_meter(kMeterPort, {}, faults);
    rig.load();
    std::string text_under_the_box = "(no box)";
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title == kPowerCycleTitle) text_under_the_box = rig.form.ProgressBar1.text();
    };
    rig.press_upload();
    rig.run_for(120);

    const auto texts = texts_only(texts_since(rig, rig.press_time()));
    ASSERT_EQ(texts.size(), 2u + 21u + 1u);
    EXPECT_EQ(texts[22].rfind("\"Block 21 of 60 - about ", 0), 0u) << texts[22];
    EXPECT_EQ(texts.back(), "\"\"");
    EXPECT_EQ(text_under_the_box, "");
    EXPECT_EQ(rig.form.ProgressBar1.text(), "");
}

// A request to close during the update is refused, as it must be; the bar says why for three
// seconds, then tells the update's progress again.
TEST(UpdateBarText, ARefusedCloseSaysWhyForAWhile) {
    UploadRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    rig.load();
    rig.press_upload();
    double asked = 0;
    std::string text_at_close;
    rig.world.scheduler.after(30.0, [&] {
        asked = rig.world.now();
        rig.world.window.unload_window();
        text_at_close = rig.form.ProgressBar1.text();
    });
    rig.run_for(120);
    EXPECT_EQ(text_at_close, "The update must finish first");
    const auto after = texts_since(rig, asked);
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[0].text, "\"The update must finish first\"");
    EXPECT_THAT(after[1].text, ::testing::StartsWith("\"Block "));
    EXPECT_GE(after[1].time - asked, 3.0);
    EXPECT_LT(after[1].time - asked, 3.2);
    EXPECT_EQ(rig.world.window.close_refusals, 1);
    EXPECT_TRUE(meter.flash_equals(rig.image));
}

}  // namespace
}  // namespace r462xe
