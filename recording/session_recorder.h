// Turns what a serial port does into a recording as it happens: the port's opens, closes and
// speed changes, each write of the host, and the bytes it receives. Received bytes that follow
// each other on the line are joined into one chunk, so that a reply is one line of the recording.
#pragma once

#include <optional>
#include <string>

#include "recording/recording.h"
#include "serial/port_observer.h"

namespace r462xe {

class SessionRecorder : public PortObserver {
  public:
    // `start`: the clock reading at which the recording's time is 0.
    SessionRecorder(RecordingWriter& writer, double start) : writer_(writer), start_(start) {}

    void opened(double now, int baud, const std::string& device) override;
    void closed(double now) override;
    void speed(double now, int baud) override;
    void host_wrote(double now, int baud, const std::string& bytes) override;
    void host_received(double now, int baud, const std::string& bytes) override;
    // Writes what is still held back (the last reply).
    void flush();

  private:
    void write(const RecordedChunk& chunk);

    RecordingWriter& writer_;
    double start_;
    std::optional<RecordedChunk> reply_;  // received bytes still being joined
    double reply_last_byte_ = 0;
};

}  // namespace r462xe
