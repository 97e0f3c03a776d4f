// The recording's text: each kind of chunk written and read back, and the mistakes a hand-edited
// or cut-off recording can hold, each reported with its line.
#include "recording/recording.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace r462xe {
namespace {

using Kind = RecordedChunk::Kind;

TEST(RecordingFormat, EachKindOfChunkAsOneLine) {
    struct Case {
        RecordedChunk chunk;
        std::string line;
    };
    const std::vector<Case> cases = {
        {{.kind = Kind::open, .time = 0, .baud = 9600, .device = "COM3 /dev/ttyUSB0"},
         "0.000 open 9600 COM3 /dev/ttyUSB0"},
        {{.kind = Kind::host, .time = 0.4125, .baud = 9600, .bytes = "*IDN?\r\n"},
         "0.412 host 9600 2a49444e3f0d0a"},
        {{.kind = Kind::speed, .time = 9.5, .baud = 19200}, "9.500 speed 19200"},
        {{.kind = Kind::meter, .time = 12.3456, .baud = 19200, .bytes = std::string("\x5b\x00", 2)},
         "12.346 meter 19200 5b00"},
        {{.kind = Kind::close, .time = 75.32}, "75.320 close"},
    };
    std::ostringstream text;
    RecordingWriter writer(text);
    for (const Case& c : cases) {
        EXPECT_EQ(chunk_line(c.chunk), c.line);
        writer.write(c.chunk);
    }
    std::string expected = "# r462xe recording 1\n";
    for (const Case& c : cases) expected += c.line + "\n";
    EXPECT_EQ(text.str(), expected);

    std::istringstream in(text.str());
    const Recording read = read_recording(in);
    ASSERT_EQ(read.chunks.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].line);
        EXPECT_EQ(read.chunks[i].kind, cases[i].chunk.kind);
        EXPECT_EQ(read.chunks[i].baud, cases[i].chunk.baud);
        EXPECT_EQ(read.chunks[i].bytes, cases[i].chunk.bytes);
        EXPECT_EQ(read.chunks[i].device, cases[i].chunk.device);
        EXPECT_EQ(read.chunks[i].line, static_cast<int>(i) + 2);
        EXPECT_EQ(chunk_line(read.chunks[i]), cases[i].line);
    }
}

// The longest chunk the format allows is read back whole.
TEST(RecordingFormat, ChunkOfTheMostBytesIsOneLine) {
    std::istringstream in("# r462xe recording 1\n1.000 meter 19200 " +
                          std::string(std::size_t{2} * 4096, 'a') + "\n");
    const Recording read = read_recording(in);
    ASSERT_EQ(read.chunks.size(), 1u);
    EXPECT_EQ(read.chunks[0].bytes, std::string(4096, '\xaa'));
}

TEST(RecordingFormat, NotesBlankLinesAndWindowsLineEnds) {
    std::istringstream in(
        "# r462xe recording 1\r\n# program r462xe-fwupdate-runner 3.07\r\n\r\n"
        "1.000 host 9600 0a\r\n");
    const Recording read = read_recording(in);
    EXPECT_EQ(read.notes, (std::vector<std::string>{"r462xe recording 1",
                                                    "program r462xe-fwupdate-runner 3.07"}));
    ASSERT_EQ(read.chunks.size(), 1u);
    EXPECT_EQ(read.chunks[0].bytes, "\n");
    EXPECT_EQ(read.chunks[0].line, 4);
}

// A line far longer than any the writer writes.
constexpr std::size_t kTenMegabytes = 10'000'000;

TEST(RecordingFormat, MistakesAreReportedWithTheirLine) {
    struct Case {
        std::string text;
        int line;
        std::string says;
    };
    const std::string head = "# r462xe recording 1\n";
    const std::vector<Case> cases = {
        {"1.000 host 9600 0a\n", 1, "not a recording"},
        {"", 1, "not a recording"},
        // The header counts only as the first line.
        {"\n# r462xe recording 1\n1.000 host 9600 0a\n", 1, "not a recording"},
        {"# program r462xe-fwupdate-runner\n# r462xe recording 1\n", 1, "not a recording"},
        {head + "host 9600 0a\n", 2, "not a time: \"host\""},
        {head + "0x10 host 9600 0a\n", 2, "not a time: \"0x10\""},
        {head + "-1.000 host 9600 0a\n", 2, "not a time: \"-1.000\""},
        {head + "1e3 host 9600 0a\n", 2, "not a time: \"1e3\""},
        {head + "1.000\n", 2, "no kind of chunk"},
        {head + "1.000 sent 9600 0a\n", 2, "unknown kind of chunk: \"sent\""},
        // Junk bytes come back quoted, never raw.
        {head + "1.000 \x01\x9b[2J 9600 0a\n", 2, "unknown kind of chunk: \"\\x01\\x9B[2J\""},
        {head + "1.000 host\n", 2, "a line speed is missing"},
        {head + "1.000 host 0a\n", 2, "not a line speed: \"0a\""},
        {head + "1.000 host -9600 0a\n", 2, "not a line speed: \"-9600\""},
        {head + "1.000 host 12345678901234567890 0a\n", 2,
         "not a line speed: \"12345678901234567890\""},
        {head + "1.000 speed 0\n", 2, "not a line speed: \"0\""},
        {head + "1.000 host 9600\n", 2, "no bytes"},
        {head + "1.000 host 9600 0a0\n", 2, "odd number of hexadecimal digits"},
        {head + "1.000 meter 9600 0g\n", 2, "not hexadecimal: \"0g\""},
        {head + "1.000 meter 9600 0a junk\n", 2, "unexpected text after the bytes: \"junk\""},
        {head + "1.000 speed 9600 19200\n", 2, "unexpected text after the line speed"},
        {head + "1.000 close now\n", 2, "unexpected text after the kind"},
        {head + "1.000 meter 9600 " + std::string(std::size_t{2} * 4096, '0') + "00\n", 2,
         "more than 4096 bytes in one chunk"},
        {head + "1.000 meter 9600 0a" + std::string(kTenMegabytes, ' ') + "\n", 2,
         "longer than 8256 characters"},
        {head + "2.000 host 9600 0a\n1.000 meter 9600 30\n", 3, "time goes back"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        std::istringstream in(c.text);
        try {
            read_recording(in);
            ADD_FAILURE() << "read without complaint";
        } catch (const RecordingError& error) {
            EXPECT_EQ(error.line(), c.line);
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace r462xe
