// The recorder on its own: what it makes of a device that talks without a pause, and of writes
// larger than a chunk.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "recording/recording.h"
#include "recording/session_recorder.h"

namespace r462xe {
namespace {

// 10,000 bytes, one at a time, each as soon as the line brings it at 19,200 baud (one byte every
// 10 / 19,200 s): one stream, cut into chunks of 4,096, 4,096 and 1,808 bytes.
TEST(SessionRecorder, DeviceThatNeverPausesIsCutIntoBoundedChunks) {
    std::ostringstream text;
    RecordingWriter writer(text);
    SessionRecorder recorder(writer, 0);
    std::string sent;
    for (int i = 0; i < 10'000; ++i) {
        const std::string arrival(1, static_cast<char>('A' + i % 26));
        recorder.host_received(10.0 / 19200 * (i + 1), 19200, arrival);
        sent += arrival;
    }
    recorder.flush();

    std::istringstream in(text.str());
    const Recording read = read_recording(in);
    ASSERT_EQ(read.chunks.size(), 3u);
    EXPECT_EQ(read.chunks[0].bytes.size(), 4096u);
    EXPECT_EQ(read.chunks[1].bytes.size(), 4096u);
    EXPECT_EQ(read.chunks[2].bytes.size(), 1808u);
    EXPECT_EQ(read.chunks[0].bytes + read.chunks[1].bytes + read.chunks[2].bytes, sent);
}

TEST(SessionRecorder, WriteLargerThanAChunkIsSeveralHostChunks) {
    std::ostringstream text;
    RecordingWriter writer(text);
    SessionRecorder recorder(writer, 0);
    const std::string bytes(5000, '\x6b');
    recorder.host_wrote(1, 19200, bytes);

    std::istringstream in(text.str());
    const Recording read = read_recording(in);
    ASSERT_EQ(read.chunks.size(), 2u);
    EXPECT_EQ(read.chunks[0].bytes.size(), 4096u);
    EXPECT_EQ(read.chunks[1].bytes.size(), 904u);
    EXPECT_EQ(read.chunks[0].bytes + read.chunks[1].bytes, bytes);
}

}  // namespace
}  // namespace r462xe
