// `--record FILE`: every byte that crosses the port, both ways, with the port's opens, closes and
// speeds, as it happens, in the recording format of recording/recording.h; with notes on what
// the session was made with (program, image and its SHA-256, presses) and how it ended.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "recording/recording.h"
#include "recording/session_recorder.h"
#include "runner/runner_options.h"

namespace r462xe::runner {

class SessionRecord {
  public:
    // Nullptr when FILE cannot be written, with the system's reason in `refusal`. `program`: the
    // program's file name; `image_sha256`: the image's SHA-256 in hexadecimal, none when it cannot
    // be read; `start`: the port clock's reading now.
    static std::unique_ptr<SessionRecord> open(const Options& options, const std::string& program,
                                               const std::filesystem::path& image,
                                               const std::optional<std::string>& image_sha256,
                                               double start, std::string& refusal);

    PortObserver& observer() { return recorder_; }
    // Told once, with the system's reason, when a write fails and the rest of the session is lost.
    void set_on_loss(std::function<void(const std::string& why)> on_loss) {
        writer_.set_on_loss(std::move(on_loss));
    }
    bool intact() const { return writer_.intact(); }
    // The last reply, and how the session ended ("succeeded", "failed" or "none").
    void finish(const std::string& outcome);

  private:
    SessionRecord(std::ofstream file, double start);

    std::ofstream file_;
    RecordingWriter writer_;
    SessionRecorder recorder_;
};

}  // namespace r462xe::runner
