// The runner in virtual time against the virtual meter: its exit status, how often it presses
// "Upload Firmware" and when, the message boxes it answers, its transcript and its record of the
// session.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif
#include <csignal>
#include <fstream>
#include <functional>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "recording/recording.h"
#include "rig/messages.h"
#include "runner/runner.h"
#include "runner/runner_rig.h"

namespace r462xe {
namespace {

using sim::SimRunnerFrontEnd;
using testing::RunnerRig;

constexpr int kMeterPort = 3;
constexpr int kStillRunning = SimRunnerFrontEnd::kStillRunning;
// The port event handler's wait after a communication error (serial/comm_event_handler.cpp).
constexpr double kErrorSettleSeconds = 9;
// How often the runner looks for a window at rest.
constexpr double kIdlePoll = 0.2;

// A meter that misses the plain "UPGR 1" of the first `failing` presses (each of those updates
// fails without an acknowledgement) and takes the update at the next.
sim::MeterFaults failing_presses(int failing) {
    sim::MeterFaults faults;
    faults.miss_enter_first = failing;
    return faults;
}

// When "Upload Firmware" was pressed: each press keeps the computer awake from its first step.
std::vector<double> press_times(const RunnerRig& rig) {
    std::vector<double> times;
    for (const auto& call : rig.world.sleep.calls) {
        if (call.hold) times.push_back(call.time);
    }
    return times;
}

bool logged(const RunnerRig& rig, const std::string& line) {
    return std::ranges::any_of(rig.world.error_log.lines, [&line](const sim::LoggedLine& logged) {
        return logged.line == line;
    });
}

struct PressCase {
    const char* name;
    std::vector<std::string> arguments;
    int failing;  // presses whose update the meter lets fail
    int status;
    int presses;
};

// Pressed while no update has succeeded and presses are left, then the window closes; the status
// tells whether an update succeeded.
TEST(RunnerPresses, UntilAnUpdateSucceedsOrThePressesRunOut) {
    const std::vector<PressCase> cases = {
        {"no update asked for", {}, 0, 1, 0},
        {"an update at the first press", {"--upload"}, 0, 0, 1},
        {"presses left after a success", {"--upload", "--presses", "5"}, 0, 0, 1},
        {"a success at the third of three", {"--upload"}, 2, 0, 3},
        {"three failures of three", {"--upload"}, 3, 1, 3},
        {"a success at the fifth of five", {"--upload", "--presses", "5"}, 4, 0, 5},
        {"two failures of two, a third would have succeeded",
         {"--upload", "--presses", "2"},
         2,
         1,
         2},
        {"one failure of one", {"--upload", "--presses", "1"}, 9, 1, 1},
        // The window stays open until someone closes it.
        {"the window stays after start-up", {"--stay"}, 0, kStillRunning, 0},
        {"the window stays after the success", {"--upload", "--stay"}, 0, kStillRunning, 1},
        {"the window stays after the failures",
         {"--upload", "--presses", "2", "--stay"},
         9,
         kStillRunning,
         2},
    };
    for (const PressCase& c : cases) {
        SCOPED_TRACE(c.name);
        RunnerRig rig;
        const sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, failing_presses(c.failing));
        EXPECT_EQ(rig.run(c.arguments), c.status) << rig.transcript.str();
        EXPECT_EQ(meter.flash_equals(rig.image), c.failing < c.presses);
        EXPECT_EQ(rig.presses_on_line(kMeterPort), c.presses);
        EXPECT_EQ(press_times(rig).size(), static_cast<std::size_t>(c.presses));
        EXPECT_EQ(rig.world.window.ended, c.status != kStillRunning);
    }
}

TEST(RunnerPresses, NoneWhileUploadFirmwareIsDisabled) {
    RunnerRig rig;  // no meter on any port: the search enables no upload
    EXPECT_EQ(rig.run({"--upload"}), 1);
    EXPECT_TRUE(press_times(rig).empty());
    EXPECT_TRUE(logged(rig, "\"Upload Firmware\" is disabled, no press made"));
}

// A communication error on the line while the window is at rest: its handler waits before it
// closes the port, and the press waits for the handler.
TEST(RunnerPresses, NotWhileAHandlerWaits) {
    RunnerRig rig;
    rig.world.add_meter(kMeterPort);
    double error_at = -1;
    rig.form.Command2.add_listener([&](const Control&, Property property) {
        if (property != Property::Enabled || !rig.form.Command2.enabled() || error_at >= 0) return;
        // Upload Firmware was given at the end of the load; the line breaks just after it.
        error_at = rig.world.now() + kIdlePoll / 2;
        rig.world.scheduler.after(kIdlePoll / 2,
                                  [&rig] { rig.world.port.post_event(kCommEventBreak); });
    });
    rig.run({"--upload", "--presses", "1"});
    const auto presses = press_times(rig);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_GE(presses[0], error_at + kErrorSettleSeconds);
    EXPECT_LE(presses[0], error_at + kErrorSettleSeconds + kIdlePoll);
}

// The port fails in the middle of the transfer: the window gives its controls back and then tells
// the user to power-cycle the meter. The next press waits until that box has been answered.
TEST(RunnerPresses, NotWhileABoxWaitsForItsOk) {
    constexpr double kAnswerAfter = 10;
    RunnerRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort);
    // The user power-cycles the meter as the box asks.
    rig.world.messages.on_show = [&meter](const sim::ShownMessage&) { meter.power_cycle(); };
    int ticks = 0;
    rig.around_handler = [&](const char* handler, const std::function<void()>& body) {
        if (std::string_view(handler) == "Timer1_Timer" && ++ticks == 20)
            rig.world.port.fail_next(PortOperation::Output);
        body();
    };
    EXPECT_EQ(rig.run({"--upload", "--presses", "2", "--answer-after", "10"}), 0);
    ASSERT_EQ(testing::titles_line(rig.world.messages.shown),
              "Power cycle the Meter Firmware Update");
    const double answered = rig.world.messages.shown[0].time + kAnswerAfter;
    const auto presses = press_times(rig);
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_GE(presses[1], answered);
    EXPECT_LE(presses[1], answered + kIdlePoll);
}

// Every box is answered the given time after it appears: the update's end comes that much later.
TEST(RunnerAnswers, EachBoxAfterTheGivenSeconds) {
    for (const double seconds : {0.0, 0.5, 7.25, 30.0}) {
        SCOPED_TRACE(seconds);
        RunnerRig rig;
        rig.world.add_meter(kMeterPort);
        const std::string answer_after = std::to_string(seconds);
        ASSERT_EQ(rig.run({"--upload", "--answer-after", answer_after}), 0);
        ASSERT_EQ(testing::titles_line(rig.world.messages.shown), testing::kSuccessTitle);
        const double shown_at = rig.world.messages.shown[0].time;
        // The warning goes once the box is answered.
        ASSERT_EQ(rig.changes.back().line, "Label6.visible false");
        EXPECT_NEAR(rig.changes.back().time - shown_at, seconds, 1e-6);
    }
}

// A box with details: the details' line first, then the box's line, both at the time it appears.
// The image is missing here: the load shows the box at once and ends the program once answered.
TEST(RunnerTranscript, ABoxIsItsDetailsLineThenItsLine) {
    RunnerRig rig;
    EXPECT_EQ(rig.run({"--folder", "/nonexistent-r462xe", "--upload"}), 1);
    // The image's path as the system joins folder and file (a backslash on Windows, quoted).
    std::string image =
        (std::filesystem::path("/nonexistent-r462xe") / "R462XE_V307_20200521.QF").string();
    for (auto at = image.find('\\'); at != std::string::npos; at = image.find('\\', at + 2))
        image.insert(at, 1, '\\');
    const std::string details = "0.000 msgbox-details \"The firmware image " + image +
                                " is missing or cannot be read. Copy R462XE_V307_20200521.QF "
                                "(61440 bytes) into /nonexistent-r462xe, then start the program "
                                "again.\\n\"";
    const std::vector<std::string> expected = {
        "0.000 Label6.visible false",
        "0.000 Label4.caption \"Searching\"",
        "0.000 Label5.caption \"Searching\"",
        "0.000 Label7.caption \"Searching\"",
        "0.000 COM1.items [\"COM1\"]",
        "0.000 COM1.index 0",
        "0.000 Command1.enabled false",
        "0.000 COM1.enabled false",
        "0.000 Command2.enabled false",
        details,
        "0.000 msgbox \"file error\" \" Firmware image file loading error!\"",
    };
    EXPECT_EQ(rig.transcript_lines(), expected);
}

// The success box's details (the versions, where the history is kept) on the line before it.
TEST(RunnerTranscript, TheSuccessBoxHasItsDetailsOnTheLineBefore) {
    RunnerRig rig;
    rig.world.add_meter(kMeterPort);
    ASSERT_EQ(rig.run({"--upload"}), 0);
    const auto lines = rig.transcript_lines();
    const auto box = std::ranges::find_if(
        lines, [](const std::string& line) { return line.find(" msgbox ") != std::string::npos; });
    ASSERT_NE(box, lines.end());
    ASSERT_NE(box, lines.begin());
    EXPECT_EQ(box->substr(box->find(' ')),
              " msgbox \"Firmware Update\" \"Firmware Update was completed successfully.\"");
    const std::string& details = *(box - 1);
    EXPECT_EQ(details.substr(details.find(' ')),
              " msgbox-details \"Version: V3.05 -> V3.07\\nUpdate history: "
              "/home/technician/.local/state/r462xe-fwupdate/history.csv\\n\"");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find(" msgbox ") != std::string::npos;
                            }),
              1);
}

// The time in seconds with three decimals, rounded, then the change.
TEST(RunnerTranscript, TheLineStartsWithTheTimeInMilliseconds) {
    struct Case {
        double seconds;
        const char* line;
    };
    const std::vector<Case> cases = {
        {0, "0.000 Command2.enabled true\n"},        {0.0004, "0.000 Command2.enabled true\n"},
        {0.0006, "0.001 Command2.enabled true\n"},   {1.23449, "1.234 Command2.enabled true\n"},
        {75.1239, "75.124 Command2.enabled true\n"}, {3600.5, "3600.500 Command2.enabled true\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runner::transcript_line(c.seconds, "Command2.enabled true"), c.line);
    }
}

struct RecordCase {
    const char* name;
    std::vector<std::string> arguments;  // --record FILE comes after them
    int failing;
    std::optional<std::string> sha256;  // what the front end hashes the image to
    int status;
    std::vector<std::string> notes;
};

// The recording's notes: what the session was made with, and at the end how it ended.
TEST(RunnerRecord, TellsWhatTheSessionWasMadeWithAndHowItEnded) {
    const std::string digest(64, 'a');
    const std::string made_by = "program r462xe-fwupdate-runner 3.07";
    const std::string serial = "it holds the meter's serial number, as the meter reported it";
    const std::vector<RecordCase> cases = {
        {"no update asked for",
         {},
         0,
         digest,
         1,
         {kRecordingFirstNote, made_by, "image R462XE_V307_20200521.QF sha256 " + digest,
          "presses 0 answer-after 0.5", serial, "outcome none"}},
        {"an update that succeeds",
         {"--upload", "--answer-after", "2.5"},
         0,
         digest,
         0,
         {kRecordingFirstNote, made_by, "image R462XE_V307_20200521.QF sha256 " + digest,
          "presses 3 answer-after 2.5", serial, "outcome succeeded"}},
        {"updates that fail",
         {"--upload", "--presses", "2"},
         2,
         digest,
         1,
         {kRecordingFirstNote, made_by, "image R462XE_V307_20200521.QF sha256 " + digest,
          "presses 2 answer-after 0.5", serial, "outcome failed"}},
        {"an image that cannot be read",
         {},
         0,
         std::nullopt,
         1,
         {kRecordingFirstNote, made_by, "image R462XE_V307_20200521.QF unreadable",
          "presses 0 answer-after 0.5", serial, "outcome none"}},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.name);
        RunnerRig rig;
        rig.world.add_meter(kMeterPort, {}, failing_presses(c.failing));
        std::vector<std::filesystem::path> hashed;
        rig.front_end.sha256 = [&](const std::filesystem::path& file) {
            hashed.push_back(file);
            return c.sha256;
        };
        const std::string file = (std::filesystem::path(rig.folder) / "session.rec").string();
        auto arguments = c.arguments;
        arguments.insert(arguments.end(), {"--record", file});
        ASSERT_EQ(rig.run(arguments), c.status);

        EXPECT_EQ(hashed, std::vector<std::filesystem::path>{rig.image_path()});
        const Recording recording = read_recording_file(file);
        EXPECT_EQ(recording.notes, c.notes);
        // The port's traffic between them, from the first open on.
        ASSERT_FALSE(recording.chunks.empty());
        EXPECT_EQ(recording.chunks.front().kind, RecordedChunk::Kind::open);
    }
}

// Refused before the load, with the system's reason: a file that does not open, and one that
// opens but takes nothing.
TEST(RunnerRecord, AFileThatCannotBeWrittenEndsTheProgramBeforeTheLoad) {
    struct Case {
        std::string file;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"/nonexistent-r462xe/session.rec",
         "--record: cannot write /nonexistent-r462xe/session.rec (No such file or directory)"},
#ifdef __linux__  // the device that is always full
        {"/dev/full", "--record: cannot write /dev/full (No space left on device)"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RunnerRig rig;
        rig.world.add_meter(kMeterPort);
        EXPECT_EQ(rig.run({"--upload", "--record", c.file}), 2);
        EXPECT_TRUE(logged(rig, c.said));
        EXPECT_EQ(rig.transcript.str(), "");
        EXPECT_TRUE(rig.changes.empty());
    }
}

#ifndef _WIN32
// The file stops taking lines during the session, as a disk that fills up does (here a limit on
// the size of the files the process writes). The update goes on and succeeds; the loss is said at
// once on the error log and in the transcript, and again at the end.
TEST(RunnerRecord, ALossDuringTheSessionIsSaidAndTheUpdateGoesOn) {
    RunnerRig rig;
    const sim::Meter& meter = rig.world.add_meter(kMeterPort);
    const std::string file = (std::filesystem::path(rig.folder) / "session.rec").string();
    constexpr rlim_t kFileLimit = 2048;  // the notes fit, the first blocks do not
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    // Ignored, the signal leaves the failed write's "File too large" to the program.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limited{kFileLimit, before.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int status = rig.run({"--upload", "--presses", "1", "--record", file});
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(status, 0);
    EXPECT_TRUE(meter.flash_equals(rig.image));
    const std::string transcript = rig.transcript.str();
    const auto lost = transcript.find(" record-lost \"File too large\"\n");
    const auto success = transcript.find(
        " msgbox \"Firmware Update\" \"Firmware Update was completed successfully.\"");
    ASSERT_NE(lost, std::string::npos) << transcript;
    EXPECT_LT(lost, success);
    std::vector<std::string> lines;
    for (const auto& line : rig.world.error_log.lines) lines.push_back(line.line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "--record: writing " + file +
                            " failed (File too large): the rest of the session is not recorded; "
                            "the update goes on");
    EXPECT_TRUE(lines[1].starts_with("--record: " + file + " is incomplete: writing it failed at "))
        << lines[1];
    EXPECT_EQ(std::filesystem::file_size(file), kFileLimit);
}
#endif

// A named pipe, or a file of another size, in the image's place is never read for its digest:
// reading a pipe would never end. The recording says the image was not read.
TEST(RunnerRecord, OnlyAFileShapedAsTheImageIsHashed) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> put;
        int digests;
    };
    const std::vector<Case> cases = {
        {"image",
         [](const std::filesystem::path& p) { std::ofstream(p) << std::string(61440, 'x'); }, 1},
#ifndef _WIN32  // Windows makes no named pipes in folders
        {"pipe", [](const std::filesystem::path& p) { ::mkfifo(p.c_str(), 0600); }, 0},
#endif
        {"larger file",
         [](const std::filesystem::path& p) { std::ofstream(p) << std::string(61441, 'x'); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto folder =
            std::filesystem::temp_directory_path() / ("r462xe-hash-" + std::string(c.name));
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        std::filesystem::create_directories(folder);
        c.put(folder / "R462XE_V307_20200521.QF");
        {
            // Gone before the folder goes: Windows removes no file that is still open.
            RunnerRig rig;
            rig.run({"--folder", folder.string(), "--record", (folder / "session.rec").string()});
            EXPECT_EQ(rig.front_end.digests_asked, c.digests);
        }
        std::filesystem::remove_all(folder, ignored);
    }
}

// A mistyped cable path is said at the start, on standard error; the run goes on.
TEST(RunnerPorts, AMissingDeviceIsSaidAtTheStart) {
    RunnerRig rig;
    rig.world.add_meter(kMeterPort);
    rig.front_end.missing_devices = {"/dev/ttyUSB9"};
    rig.run({"--port", "3=/dev/ttyUSB9", "--port", "4=/dev/ttyUSB0"});
    EXPECT_TRUE(logged(rig, "--port 3=/dev/ttyUSB9: the device does not exist"));
    EXPECT_FALSE(std::ranges::any_of(rig.world.error_log.lines, [](const sim::LoggedLine& logged) {
        return logged.line.find("4=/dev/ttyUSB0") != std::string::npos;
    }));
    EXPECT_FALSE(rig.changes.empty());
}

}  // namespace
}  // namespace r462xe
