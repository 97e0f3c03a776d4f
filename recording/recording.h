// A recorded session of the serial line, as the host saw it: every byte the host wrote and every
// byte it received, with the time and the line speed, and the port's opens and closes. One line of
// text per chunk, so that a recording reads, diffs and travels with a bug report:
//
//   # r462xe recording 1
//   # program r462xe-fwupdate-runner 3.07
//   # image R462XE_V307_20200521.QF sha256 9f86d0...
//   0.000 open 9600 /dev/ttyUSB0
//   0.412 host 9600 2a49444e3f0d0a
//   1.418 meter 9600 4d6172656c696e642c...
//   12.001 speed 19200
//   75.320 close
//
// Times are seconds since the recording began, with three decimals; bytes are lower-case
// hexadecimal, two digits a byte. Lines starting with "#" carry what the session was made with.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace r462xe {

struct RecordedChunk {
    enum class Kind { open, close, speed, host, meter };
    Kind kind = Kind::host;
    double time = 0;          // seconds since the recording began
    int baud = 0;             // open, speed, host, meter
    std::string bytes = {};   // host, meter
    std::string device = {};  // open: the device's name, if known
    int line = 0;             // where it stands in the recording's text, from 1
};

struct Recording {
    std::vector<std::string> notes;  // the "#" lines, without the "# "
    std::vector<RecordedChunk> chunks;
};

// A recording whose text cannot be read; says where.
class RecordingError : public std::runtime_error {
  public:
    RecordingError(int line, const std::string& what);
    int line() const { return line_; }

  private:
    int line_;
};

Recording read_recording(std::istream& in);
Recording read_recording_file(const std::string& path);

// The text of one chunk, without its line end.
std::string chunk_line(const RecordedChunk& chunk);

// Writes a recording as it happens; every line is flushed, so that nothing is lost when the
// program ends at once.
// Writes each line whole and flushed, so that a reader follows the session as it happens. A write
// that fails (a full disk) is not retried: the recording is lost from there on, `on_loss` hears of
// it once with the system's reason, and the session itself goes on.
class RecordingWriter {
  public:
    explicit RecordingWriter(std::ostream& out);
    void note(const std::string& text);
    void write(const RecordedChunk& chunk);

    // Whether every line so far reached the file; and when not, why not.
    bool intact() const { return loss_.empty(); }
    const std::string& loss() const { return loss_; }
    void set_on_loss(std::function<void(const std::string& why)> on_loss) {
        on_loss_ = std::move(on_loss);
    }

  private:
    void put(const std::string& line);

    std::ostream& out_;
    std::string loss_;
    std::function<void(const std::string&)> on_loss_;
};

// The most bytes one chunk holds: a block's frame (1,026 bytes) fits whole; a device that talks
// without a pause is recorded as chunks of this size, so that every line stays short.
inline constexpr std::size_t kMaxChunkBytes = 4096;

// The format's first note.
inline constexpr const char* kRecordingFirstNote = "r462xe recording 1";

}  // namespace r462xe
