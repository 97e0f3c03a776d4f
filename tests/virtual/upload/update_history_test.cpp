// The update history: one record for every press of "Upload Firmware", as the window told its
// end, and the CSV that holds it, checked against lines written out by hand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rig/csv_fields.h"
#include "rig/messages.h"
#include "rig/meter_faults.h"
#include "rig/upload_rig.h"
#include "upload/update_history.h"

namespace r462xe {
namespace {

using testing::csv_fields;
using testing::kMeterPort;
using testing::UploadRig;
using namespace testing;  // the history's columns

constexpr const char* kHistoryFile = "/home/technician/.local/state/r462xe-fwupdate/history.csv";

HistoryRecord a_record() {
    return {.started = {.year = 2026,
                        .month = 12,
                        .day = 11,
                        .hour = 9,
                        .minute = 41,
                        .second = 7,
                        .utc_offset_minutes = 60},
            .program_version = "3.07",
            .port = 3,
            .device = "/dev/ttyUSB0",
            .model = "R4622E",
            .serial = "SN55250001",
            .version_before = "V3.05",
            .version_after = "V3.07",
            .image = "R462XE_V307_20200521.QF",
            .image_sha256 = "9f86d0",
            .outcome = AttemptOutcome::Updated,
            .detail = "",
            .blocks_sent = 61,
            .blocks_resent = 1,
            .duration_seconds = 63.04};
}

TEST(HistoryFile, HeaderAndRecordAsWrittenOutByHand) {
    EXPECT_EQ(history_header_line(),
              "Time,Program version,Port,Device,Model,Serial number,Version before,Version after,"
              "Image,Image SHA-256,Outcome,Detail,Blocks sent,Blocks resent,Duration (s)\r\n");
    EXPECT_EQ(history_line(a_record()),
              "2026-12-11T09:41:07+01:00,3.07,COM3,/dev/ttyUSB0,R4622E,SN55250001,V3.05,V3.07,"
              "R462XE_V307_20200521.QF,9f86d0,updated,,61,1,63.0\r\n");
}

// A field as a spreadsheet must read it back: quoted where it holds what separates fields, and
// never taken for a formula.
TEST(HistoryFile, FieldsThatNeedQuotingOrGuarding) {
    struct Case {
        std::string detail;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"plain words", "plain words"},
        {"", ""},
        {"no answer, block 8 of 60", "\"no answer, block 8 of 60\""},
        {"the reply \"*E\"", "\"the reply \"\"*E\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {" blank first", "\" blank first\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.detail);
        HistoryRecord record = a_record();
        record.detail = c.detail;
        const std::string line = history_line(record);
        const std::string before = "updated,";
        const std::string after = ",61,1,63.0\r\n";
        const auto start = line.find(before) + before.size();
        ASSERT_GE(line.size(), start + after.size());
        EXPECT_EQ(line.substr(start, line.size() - start - after.size()), c.written);
    }
}

TEST(HistoryFile, TimeWithTheZonesOffset) {
    struct Case {
        LocalTime time;
        const char* text;
    };
    const std::vector<Case> cases = {
        {{2026, 12, 11, 9, 41, 7, 60}, "2026-12-11T09:41:07+01:00"},
        {{2026, 1, 2, 0, 0, 0, 0}, "2026-01-02T00:00:00+00:00"},
        {{2026, 7, 31, 23, 59, 59, -300}, "2026-07-31T23:59:59-05:00"},
        {{2026, 3, 5, 14, 3, 9, 330}, "2026-03-05T14:03:09+05:30"},
        {{2026, 3, 5, 14, 3, 9, -570}, "2026-03-05T14:03:09-09:30"},
    };
    for (const Case& c : cases) EXPECT_EQ(iso8601_text(c.time), c.text);
}

TEST(HistoryFile, VersionsInTheSuccessDetails) {
    EXPECT_EQ(version_change_details("V3.05", "V3.07"), "Version: V3.05 -> V3.07\n");
    EXPECT_EQ(version_change_details("V3.07", "V3.07"),
              "Version: V3.07 before and after: the version did not change.\n");
    EXPECT_EQ(version_change_details("", "V3.07"),
              "Version: V3.07 (before: the meter was in its update mode)\n");
}

TEST(HistoryFile, LivesInTheProgramsFolderOfTheStateFolder) {
    EXPECT_EQ(history_file_in("/home/ana/.local/state"),
              std::filesystem::path("/home/ana/.local/state/r462xe-fwupdate/history.csv"));
    EXPECT_TRUE(history_file_in({}).empty());
}

// The details' lines joined as one line of the file.
std::string one_line(const std::string& details) {
    std::string line;
    for (char c : details) line += c == '\n' ? std::string(" | ") : std::string(1, c);
    if (line.size() >= 3 && line.ends_with(" | ")) line.resize(line.size() - 3);
    return line;
}

// One press in the simulated world, and the record it left; by default a clean update's.
struct AttemptCase {
    const char* name;
    std::function<void(UploadRig&)> set_up;  // the meter and its faults, before start-up
    std::function<void(UploadRig&)> before_press = [](UploadRig&) {};
    const char* box_title = kSuccessTitle;
    const char* outcome = "updated";
    const char* model = "R4622E";
    const char* serial = "SN55250001";
    const char* version_before = "V3.05";
    const char* version_after = "V3.07";
    const char* blocks_sent = "60";
    const char* blocks_resent = "0";
    const char* detail = "";  // nullptr: the box's details, one line
};

void PrintTo(const AttemptCase& c, std::ostream* out) {
    *out << c.name;
}

class AttemptRecord : public ::testing::TestWithParam<AttemptCase> {};

TEST_P(AttemptRecord, SaysWhatTheWindowShowed) {
    const AttemptCase& param = GetParam();
    UploadRig rig;
    param.set_up(rig);
    rig.load();
    param.before_press(rig);
    rig.press_upload();
    rig.run_for(200);

    const auto shown = rig.messages_since_press();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, param.box_title);
    const auto& records = rig.world.history.records;
    ASSERT_EQ(records.size(), 1u);
    const auto fields = csv_fields(records[0]);
    ASSERT_EQ(fields.size(), static_cast<std::size_t>(kHistoryColumns)) << records[0];
    EXPECT_EQ(fields[kTime], "2026-12-11T09:41:07+01:00");
    EXPECT_EQ(fields[kProgramVersion], "3.07");
    EXPECT_EQ(fields[kPort], "COM3");
    EXPECT_EQ(fields[kDevice], "/dev/ttyV3");
    EXPECT_EQ(fields[kModel], param.model);
    EXPECT_EQ(fields[kSerial], param.serial);
    EXPECT_EQ(fields[kVersionBefore], param.version_before);
    EXPECT_EQ(fields[kVersionAfter], param.version_after);
    EXPECT_EQ(fields[kImage], "R462XE_V307_20200521.QF");
    EXPECT_EQ(fields[kImageSha256], "5a1e");
    EXPECT_EQ(fields[kOutcome], param.outcome);
    EXPECT_EQ(fields[kDetail],
              param.detail ? std::string(param.detail) : one_line(shown[0].details));
    EXPECT_EQ(fields[kBlocksSent], param.blocks_sent);
    EXPECT_EQ(fields[kBlocksResent], param.blocks_resent);
    // From the press to the box, in seconds with one decimal.
    EXPECT_NEAR(std::stod(fields[kDuration]), shown[0].time - rig.press_time(), 0.051);
    // The history is the user's own record: nothing about it on standard error.
    for (const auto& logged : rig.world.error_log.lines)
        EXPECT_THAT(logged.line, ::testing::Not(::testing::HasSubstr("history")));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, AttemptRecord,
    ::testing::Values(
        AttemptCase{.name = "Updated",
                    .set_up = [](UploadRig& rig) { rig.world.add_meter(kMeterPort); }},
        AttemptCase{.name = "UpdatedAfterARejectedBlock",
                    .set_up =
                        [](UploadRig& rig) {
                            sim::MeterFaults faults;
                            faults.reject_block = 5;
                            rig.world.add_meter(kMeterPort, {}, faults);
                        },
                    .blocks_sent = "61",
                    .blocks_resent = "1"},
        AttemptCase{.name = "UpdatedFromTheUpdateMode",
                    .set_up =
                        [](UploadRig& rig) {
                            rig.world.add_meter(kMeterPort, {}, testing::in_update_mode());
                        },
                    .version_before = ""},
        AttemptCase{.name = "UpdatedButTheVersionStayed",
                    .set_up =
                        [](UploadRig& rig) {
                            sim::MeterIdentity identity;
                            identity.new_version = identity.version;
                            rig.world.add_meter(kMeterPort, identity);
                        },
                    .version_after = "V3.05",
                    .detail = "the version did not change"},
        AttemptCase{.name = "MeterSilentFromBlock7",
                    .set_up =
                        [](UploadRig& rig) {
                            sim::MeterFaults faults;
                            faults.silent_from_block = 7;
                            rig.world.add_meter(kMeterPort, {}, faults);
                        },
                    .box_title = kPowerCycleTitle,
                    .outcome = "power cycle asked",
                    .version_after = "",
                    .blocks_sent = "8",
                    .detail = nullptr},
        AttemptCase{.name = "NeverAcknowledged",
                    .set_up =
                        [](UploadRig& rig) {
                            sim::MeterFaults faults;
                            faults.start_in_update_mode = true;
                            faults.never_acknowledge = true;
                            rig.world.add_meter(kMeterPort, {}, faults);
                        },
                    .box_title = kPowerCycleTitle,
                    .outcome = "power cycle asked",
                    .model = "",
                    .serial = "",
                    .version_before = "",
                    .version_after = "",
                    .blocks_sent = "0",
                    .detail = nullptr},
        AttemptCase{
            .name = "RefusedWithNoMeterOnThePort",
            .set_up = [](UploadRig& rig) { rig.world.add_port(kMeterPort); },
            .before_press = [](UploadRig& rig) { rig.handle([&] { rig.form.COM1.user_pick(0); }); },
            .box_title = "NO Link",
            .outcome = "refused",
            .model = "",
            .serial = "",
            .version_before = "",
            .version_after = "",
            .blocks_sent = "0",
            .detail = nullptr}),
    [](const ::testing::TestParamInfo<AttemptCase>& info) { return info.param.name; });

TEST(AttemptRecord, TheImageHashedIsTheFileStartUpRead) {
    UploadRig rig;
    rig.world.add_meter(kMeterPort);
    rig.load();
    ASSERT_EQ(rig.world.history.hashed.size(), 1u);
    EXPECT_TRUE(rig.world.history.hashed[0] == rig.image);
}

TEST(AttemptRecord, TheSuccessDetailsSayTheVersionsAndWhereTheHistoryIs) {
    UploadRig rig;
    rig.world.add_meter(kMeterPort);
    rig.load();
    rig.press_upload();
    rig.run_for(200);
    const auto shown = rig.messages_since_press();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].details,
              "Version: V3.05 -> V3.07\n"
              "Update history: " +
                  std::string(kHistoryFile) + "\n");
}

// Two presses, two records: a failed update and the one after the power cycle.
TEST(AttemptRecord, EveryPressAddsItsOwn) {
    UploadRig rig;
    sim::MeterFaults faults;
    faults.silent_from_block = 7;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title == kPowerCycleTitle) {
            meter.faults() = {};
            meter.power_cycle();
        }
    };
    rig.load();
    rig.press_upload();
    rig.run_for(200);
    rig.press_upload();
    rig.run_for(200);
    const auto& records = rig.world.history.records;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(csv_fields(records[0])[kOutcome], "power cycle asked");
    EXPECT_EQ(csv_fields(records[1])[kOutcome], "updated");
    EXPECT_EQ(csv_fields(records[1])[kVersionBefore], "");
    EXPECT_EQ(csv_fields(records[1])[kVersionAfter], "V3.07");
    EXPECT_EQ(csv_fields(records[1])[kBlocksSent], "60");
}

// The program ended by a signal while the update runs: no message will tell the end, the record
// does.
TEST(AttemptRecord, AnAttemptBrokenOffByTheProgramsEndIsRecorded) {
    UploadRig rig;
    rig.world.add_meter(kMeterPort);
    rig.load();
    // Nothing under way: nothing to record.
    rig.form.break_off_attempt("ended by signal 15 (Terminated)");
    EXPECT_TRUE(rig.world.history.records.empty());

    std::vector<std::string> at_the_end;
    std::size_t frames_on_the_wire = 0;
    rig.after_tick[40].push_back([&] {
        rig.form.break_off_attempt("ended by signal 15 (Terminated)");
        at_the_end = rig.world.history.records;
        frames_on_the_wire = rig.frames().size();
    });
    rig.press_upload();
    rig.run_for(200);
    ASSERT_EQ(at_the_end.size(), 1u);
    const auto fields = csv_fields(at_the_end[0]);
    EXPECT_EQ(fields[kOutcome], "broken off");
    EXPECT_EQ(fields[kDetail], "ended by signal 15 (Terminated) before the update ended");
    EXPECT_EQ(fields[kVersionBefore], "V3.05");
    EXPECT_EQ(fields[kVersionAfter], "");
    // The blocks that went out on the wire until then.
    EXPECT_GT(frames_on_the_wire, 0u);
    EXPECT_EQ(fields[kBlocksSent], std::to_string(frames_on_the_wire));
    // The attempt has its one record.
    EXPECT_EQ(rig.world.history.records.size(), 1u);
}

// A history that cannot be written never stops an update: one line on standard error (a failure
// message's details go there anyway, with their line about the history), one in the details, and
// the message the update earned.
TEST(AttemptRecord, AnUnwritableHistoryIsSaidAndTheUpdateGoesOn) {
    struct Case {
        const char* name;
        int silent_from_block;
        const char* title;
        std::string details_end;
        std::string logged_start;
    };
    const std::string not_in_it = "This update is not in the update history " +
                                  std::string(kHistoryFile) + ": Read-only file system.\n";
    const std::vector<Case> cases = {
        {"success", -1, kSuccessTitle, "Version: V3.05 -> V3.07\n" + not_in_it,
         "update history " + std::string(kHistoryFile) +
             " not written (Read-only file system): this update is not in it"},
        {"failure", 7, kPowerCycleTitle, "press \"Upload Firmware\" again.\n" + not_in_it,
         "Power cycle the Meter: The meter stopped answering"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UploadRig rig;
        sim::MeterFaults faults;
        faults.silent_from_block = c.silent_from_block;
        rig.world.add_meter(kMeterPort, {}, faults);
        rig.world.history.refusal = "Read-only file system";
        rig.load();
        rig.press_upload();
        rig.run_for(200);
        const auto shown = rig.messages_since_press();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].title, c.title);
        EXPECT_THAT(shown[0].details, ::testing::EndsWith(c.details_end));
        std::vector<std::string> history_lines;
        for (const auto& logged : rig.world.error_log.lines) {
            if (logged.line.find("update history") != std::string::npos)
                history_lines.push_back(logged.line);
        }
        ASSERT_EQ(history_lines.size(), 1u);
        EXPECT_THAT(history_lines[0], ::testing::StartsWith(c.logged_start));
        EXPECT_THAT(history_lines[0], ::testing::HasSubstr("Read-only file system"));
        EXPECT_TRUE(rig.world.history.records.empty());
    }
}

}  // namespace
}  // namespace r462xe
