// Sessions recorded in virtual time and played back: the window meets the recorded meter and ends
// as it did with the real one; a host that leaves the recording meets a silent meter, and the
// replay says where it left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "recording/recording.h"
#include "recording/session_recorder.h"
#include "rig/window_rig.h"
#include "serial/mask.h"
#include "sim/recording/replay_meter.h"

namespace r462xe {
namespace {

constexpr int kMeterPort = 3;
constexpr double kSessionSeconds = 150;  // start-up and an update, with room to spare
constexpr const char* kPowerCycleTitle = "Power cycle the Meter";

// What the user saw: every change of the window, in order, and the message boxes.
struct Seen {
    std::vector<std::string> changes;
    std::vector<std::string> titles;
};

// The user of a session: start-up, a pick of the listed port when the meter shows "Updating", one
// press of "Upload Firmware", a power cycle whenever the window asks for one.
Seen run_session(testing::WindowRig& rig, const std::function<void()>& power_cycle) {
    rig.world.messages.on_show = [&](const sim::ShownMessage& message) {
        if (message.title == kPowerCycleTitle) power_cycle();
    };
    rig.load();
    if (rig.form.update_mode && !rig.form.Command2.enabled()) {
        rig.handle([&] { rig.form.COM1.user_pick(rig.form.COM1.list_index()); });
    }
    if (rig.form.Command2.enabled()) rig.handle([&] { rig.form.Command2_Click(); });
    rig.run_for(kSessionSeconds);
    Seen seen;
    for (const auto& change : rig.changes) seen.changes.push_back(change.line);
    seen.titles = rig.message_titles();
    return seen;
}

struct Recorded {
    std::string text;
    Seen seen;
    bool flash_holds_image = false;
};

Recorded record(const sim::MeterFaults& faults) {
    testing::WindowRig rig;
    sim::Meter& meter = rig.world.add_meter(kMeterPort, {}, faults);
    std::ostringstream text;
    RecordingWriter writer(text);
    SessionRecorder recorder(writer, rig.world.now());
    rig.world.port.set_observer(&recorder);
    Recorded recorded;
    recorded.seen = run_session(rig, [&] {
        meter.faults() = {};
        meter.power_cycle();
    });
    recorder.flush();
    recorded.text = text.str();
    recorded.flash_holds_image = meter.flash_equals(rig.image);
    return recorded;
}

struct Replayed {
    Seen seen;
    std::optional<sim::Divergence> divergence;
    bool finished = false;
};

Replayed replay(const std::string& text) {
    std::istringstream in(text);
    testing::WindowRig rig;
    sim::VirtualLine& line = rig.world.add_port(kMeterPort);
    sim::ReplayMeter meter(line, read_recording(in));
    line.set_device([&](std::uint8_t byte, int baud) { meter.receive(byte, baud); });
    Replayed replayed;
    replayed.seen = run_session(rig, [] {});
    replayed.divergence = meter.divergence();
    replayed.finished = meter.finished();
    return replayed;
}

struct SessionCase {
    const char* name;
    std::function<void(sim::MeterFaults&)> fault;
    std::vector<std::string> titles;  // the message boxes the session ends with
};

void PrintTo(const SessionCase& c, std::ostream* out) {
    *out << c.name;
}

class RecordedSession : public ::testing::TestWithParam<SessionCase> {};

TEST_P(RecordedSession, ReplaysToTheSameWindow) {
    sim::MeterFaults faults;
    GetParam().fault(faults);
    const Recorded recorded = record(faults);
    ASSERT_EQ(recorded.seen.titles, GetParam().titles);

    const Replayed replayed = replay(recorded.text);
    EXPECT_FALSE(replayed.divergence) << replayed.divergence->describe();
    EXPECT_TRUE(replayed.finished);
    EXPECT_EQ(replayed.seen.titles, recorded.seen.titles);
    EXPECT_EQ(replayed.seen.changes, recorded.seen.changes);
}

INSTANTIATE_TEST_SUITE_P(
    Meters, RecordedSession,
    ::testing::Values(SessionCase{"CleanUpdate", [](sim::MeterFaults&) {}, {"Firmware Update"}},
                      SessionCase{"RejectedBlock",
                                  [](sim::MeterFaults& f) { f.reject_block = 5; },
                                  {"Firmware Update"}},
                      SessionCase{"SilentFromBlock7",
                                  [](sim::MeterFaults& f) { f.silent_from_block = 7; },
                                  {kPowerCycleTitle}},
                      SessionCase{"FoundInUpdateMode",
                                  [](sim::MeterFaults& f) { f.start_in_update_mode = true; },
                                  {"Firmware Update"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The host sends another check byte with block 17: the replay names that line of the recording
// and the offset, and the window, meeting a silent meter, asks for a power cycle.
TEST(ReplayDivergence, AnotherCheckByteInBlock17) {
    const Recorded recorded = record({});
    ASSERT_TRUE(recorded.flash_holds_image);
    std::istringstream in(recorded.text);
    Recording recording = read_recording(in);

    // Block 17's frame: its number (masked), its 1,024 bytes, its check byte, as three writes.
    const std::string number(1, static_cast<char>(17 ^ kMaskByte));
    int changed_line = 0;
    auto& chunks = recording.chunks;
    for (std::size_t i = 0; i + 2 < chunks.size(); ++i) {
        if (chunks[i].kind == RecordedChunk::Kind::host && chunks[i].bytes == number &&
            chunks[i + 1].bytes.size() == 1024 && chunks[i + 2].bytes.size() == 1) {
            chunks[i + 2].bytes[0] = static_cast<char>(chunks[i + 2].bytes[0] ^ 0x01);
            changed_line = chunks[i + 2].line;
            break;
        }
    }
    ASSERT_NE(changed_line, 0);
    std::ostringstream text;
    RecordingWriter writer(text);
    for (const auto& chunk : chunks) writer.write(chunk);

    const Replayed replayed = replay(text.str());
    ASSERT_TRUE(replayed.divergence);
    EXPECT_EQ(replayed.divergence->line, changed_line);
    EXPECT_EQ(replayed.divergence->offset, 0u);
    EXPECT_EQ(replayed.divergence->expected_baud, 19200);
    EXPECT_EQ(replayed.divergence->received_baud, 19200);
    EXPECT_EQ(replayed.seen.titles, std::vector<std::string>{kPowerCycleTitle});
    EXPECT_THAT(replayed.divergence->describe(),
                ::testing::HasSubstr("recording line " + std::to_string(changed_line) +
                                     ", offset 0: another byte"));
}

// The timing of the host's chunks: within 0.5 s and 5 % of the recorded distance, the replay
// goes on; beyond it, it stops.
TEST(ReplayTiming, EachHostChunkWithinItsTolerance) {
    struct Case {
        double second_chunk_at;  // the recording has it at 10.000, 9 s after the first
        bool diverges;
    };
    const std::vector<Case> cases = {
        {10.0, false}, {10.9, false}, {9.1, false}, {11.0, true}, {8.9, true},
    };
    const std::string text =
        "# r462xe recording 1\n"
        "1.000 host 9600 41\n"
        "1.100 meter 9600 61\n"
        "10.000 host 9600 42\n"
        "10.100 meter 9600 62\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second_chunk_at);
        sim::World world;
        sim::VirtualLine& line = world.add_port(kMeterPort);
        std::istringstream in(text);
        sim::ReplayMeter meter(line, read_recording(in));
        world.scheduler.after(1.0, [&] { meter.receive('A', 9600); });
        world.scheduler.after(c.second_chunk_at, [&] { meter.receive('B', 9600); });
        while (auto next = world.scheduler.next_event()) {
            world.scheduler.advance_towards(*next);
            world.scheduler.run_due();
        }
        std::string sent;
        for (const auto& record : line.wire()) sent += record.bytes;
        EXPECT_EQ(meter.divergence().has_value(), c.diverges);
        EXPECT_EQ(sent, c.diverges ? "a" : "ab");
        EXPECT_EQ(meter.finished(), !c.diverges);
    }
}

// A recording that holds a search over several ports plays the port where the meter answered.
TEST(ReplayPorts, OnlyThePortWhereTheMeterAnswered) {
    const std::string text =
        "# r462xe recording 1\n"
        "0.000 open 9600 COM1\n"
        "0.500 host 9600 41\n"
        "1.000 close\n"
        "1.100 open 9600 COM3\n"
        "1.500 host 9600 42\n"
        "1.600 meter 9600 62\n"
        "2.000 close\n";
    sim::World world;
    sim::VirtualLine& line = world.add_port(kMeterPort);
    std::istringstream in(text);
    sim::ReplayMeter meter(line, read_recording(in));
    world.scheduler.after(1.5, [&] { meter.receive('B', 9600); });
    while (auto next = world.scheduler.next_event()) {
        world.scheduler.advance_towards(*next);
        world.scheduler.run_due();
    }
    EXPECT_FALSE(meter.divergence());
    EXPECT_TRUE(meter.finished());
    ASSERT_EQ(line.wire().size(), 1u);
    EXPECT_EQ(line.wire()[0].bytes, "b");
}

}  // namespace
}  // namespace r462xe
