// The system's file of records, on real files: the header once, whole records from writers that
// append at once, and the system's reason when the file cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "system/record_file.h"

namespace r462xe {
namespace {

// A folder of its own, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        static std::mt19937_64 random(std::random_device{}());
        const auto temp = std::filesystem::temp_directory_path();
        do {
            path_ = temp / ("r462xe-records-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

std::string read_all(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);) lines.push_back(line);
    return lines;
}

constexpr const char* kHeader = "Time,Outcome\r\n";

TEST(RecordFile, MakesItsFoldersAndWritesTheHeaderOnce) {
    ScratchFolder scratch;
    const auto file = scratch.path() / "state" / "r462xe-fwupdate" / "history.csv";
    EXPECT_EQ(append_record(file, kHeader, "t1,updated\r\n"), "");
    EXPECT_EQ(append_record(file, kHeader, "t2,refused\r\n"), "");
    EXPECT_EQ(read_all(file), "Time,Outcome\r\nt1,updated\r\nt2,refused\r\n");
}

TEST(RecordFile, AnEmptyFileGetsTheHeader) {
    ScratchFolder scratch;
    const auto file = scratch.path() / "history.csv";
    std::ofstream(file, std::ios::binary).close();
    EXPECT_EQ(append_record(file, kHeader, "t1,updated\r\n"), "");
    EXPECT_EQ(read_all(file), "Time,Outcome\r\nt1,updated\r\n");
}

// Writers that append at once, as a bench's runners do: one header, and every record whole on a
// line of its own. The records are long, so that a write in pieces would show.
TEST(RecordFile, WritersAtOnceLeaveWholeRecords) {
    ScratchFolder scratch;
    const auto file = scratch.path() / "history.csv";
    constexpr int kWriters = 3;
    constexpr int kRecordsEach = 100;
    std::vector<std::string> refusals(kWriters);
    std::vector<std::thread> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&, writer] {
            const std::string body(5000, static_cast<char>('a' + writer));
            for (int n = 0; n < kRecordsEach; ++n) {
                const std::string why =
                    append_record(file, kHeader, std::to_string(writer) + "," + body + "\r\n");
                if (!why.empty()) refusals[static_cast<std::size_t>(writer)] = why;
            }
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_THAT(refusals, ::testing::Each(""));

    const auto lines = lines_of(read_all(file));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(1 + kWriters * kRecordsEach));
    EXPECT_EQ(lines[0], "Time,Outcome\r");
    std::map<char, int> records_by_writer;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i));
        const std::string& line = lines[i];
        ASSERT_EQ(line.size(), 2u + 5000u + 1u);
        const char writer = line[0];
        EXPECT_EQ(line, std::string(1, writer) + "," +
                            std::string(5000, static_cast<char>('a' + (writer - '0'))) + "\r");
        ++records_by_writer[writer];
    }
    EXPECT_EQ(records_by_writer, (std::map<char, int>{{'0', 100}, {'1', 100}, {'2', 100}}));
}

TEST(RecordFile, SaysWhyWhenItCannotWrite) {
    ScratchFolder scratch;
    // A file where the folder should be.
    const auto blocker = scratch.path() / "state";
    std::ofstream(blocker, std::ios::binary) << "not a folder";
    const auto under_a_file = blocker / "r462xe-fwupdate" / "history.csv";
    const std::string why = append_record(under_a_file, kHeader, "t1,updated\r\n");
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(read_all(blocker), "not a folder");

    // A folder where the file should be.
    const auto folder_in_the_way = scratch.path() / "history.csv";
    std::filesystem::create_directory(folder_in_the_way);
    EXPECT_FALSE(append_record(folder_in_the_way, kHeader, "t1,updated\r\n").empty());

    // No folder named at all.
    EXPECT_EQ(append_record({}, kHeader, "t1,updated\r\n"), kNoRecordFolder);
}

}  // namespace
}  // namespace r462xe
