// Every recording in tests/recordings, replayed in virtual time: the window meets the recorded
// meter, pressing "Upload Firmware" as the recording's runner did, and must end as that session
// ended, with the host never leaving the recording. A recording from a real meter goes in the same
// folder and runs the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "recording/recording.h"
#include "rig/window_rig.h"
#include "sim/meter/meter_protocol.h"
#include "sim/recording/replay_meter.h"

namespace r462xe {
namespace {

// The runner's pace: it looks for an idle window this often, and presses only then.
constexpr double kRunnerPoll = 0.2;
constexpr double kLongestPress = 300;

struct SessionNotes {
    int presses = 0;
    double answer_after = 0.5;
    std::string outcome;  // "succeeded", "failed" or "none"
    int port = 0;         // the COM number the meter was on
};

SessionNotes notes_of(const Recording& recording) {
    SessionNotes notes;
    for (const auto& note : recording.notes) {
        std::istringstream words(note);
        std::string word;
        words >> word;
        if (word == "presses") {
            words >> notes.presses >> word >> notes.answer_after;
        } else if (word == "outcome") {
            words >> notes.outcome;
        }
    }
    for (const auto& chunk : recording.chunks) {
        if (chunk.kind == RecordedChunk::Kind::open && chunk.device.rfind("COM", 0) == 0) {
            notes.port = std::stoi(chunk.device.substr(3));
        }
    }
    return notes;
}

// The firmware image of the session, read back from the block frames the host sent: each frame's
// bytes unmasked and the preparation undone by the meter model. Blocks never sent stay zero; the
// window sends them never either, so they cannot make the replay diverge. (A real firmware image
// cannot go into the repository; its recording carries what the meter saw of it.)
std::string image_of(const Recording& recording) {
    std::string transfer(sim::kImageSize, '\0');
    const auto& chunks = recording.chunks;
    auto is_host = [](const RecordedChunk& chunk) {
        return chunk.kind == RecordedChunk::Kind::host && chunk.baud == sim::kUpdateBaud;
    };
    for (std::size_t i = 0; i + 2 < chunks.size(); ++i) {
        if (!is_host(chunks[i]) || !is_host(chunks[i + 1]) || !is_host(chunks[i + 2])) continue;
        if (chunks[i].bytes.size() != 1 || chunks[i + 1].bytes.size() != sim::kBlockSize ||
            chunks[i + 2].bytes.size() != 1)
            continue;
        const int block = static_cast<std::uint8_t>(chunks[i].bytes[0]) ^ sim::kMask;
        if (block < 0 || block >= sim::kBlockCount) continue;
        std::string data = chunks[i + 1].bytes;
        for (char& c : data) c = static_cast<char>(static_cast<std::uint8_t>(c) ^ sim::kMask);
        transfer.replace(static_cast<std::size_t>(block) * sim::kBlockSize, sim::kBlockSize, data);
    }
    return sim::file_from_transfer(transfer);
}

std::vector<std::filesystem::path> recordings() {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(R462XE_RECORDINGS_DIR)) {
        if (entry.path().extension() == ".rec") found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(RecordedSessions, EachReplaysToItsOutcome) {
    const auto files = recordings();
    ASSERT_FALSE(files.empty()) << "no recordings in " << R462XE_RECORDINGS_DIR;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const Recording recording = read_recording_file(file.string());
        const SessionNotes notes = notes_of(recording);
        ASSERT_NE(notes.port, 0) << "no port named in the recording";
        ASSERT_FALSE(notes.outcome.empty()) << "the recording does not say how it ended";

        const std::string image = image_of(recording);
        testing::WindowRig rig(&image);
        sim::VirtualLine& line = rig.world.add_port(notes.port);
        sim::ReplayMeter meter(line, recording);
        line.set_device([&](std::uint8_t byte, int baud) { meter.receive(byte, baud); });
        rig.world.messages.answer_after = notes.answer_after;

        rig.load();
        for (int press = 0; press < notes.presses; ++press) {
            rig.run_for(kRunnerPoll);
            if (rig.form.last_update == UpdateOutcome::Succeeded || !rig.form.Command2.enabled())
                break;
            rig.handle([&] { rig.form.Command2_Click(); });
            double waited = 0;
            while ((rig.form.upload_running || rig.world.timer.enabled()) &&
                   waited < kLongestPress) {
                rig.run_for(kRunnerPoll);
                waited += kRunnerPoll;
            }
        }
        rig.run_for(1);

        EXPECT_FALSE(meter.divergence()) << meter.divergence()->describe();
        EXPECT_TRUE(meter.finished());
        const char* outcome = rig.form.last_update == UpdateOutcome::Succeeded ? "succeeded"
                              : rig.form.last_update == UpdateOutcome::Failed  ? "failed"
                                                                               : "none";
        EXPECT_EQ(outcome, notes.outcome);
    }
}

}  // namespace
}  // namespace r462xe
