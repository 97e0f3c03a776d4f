// A record that the disk takes only in part is cut off again: the file ends where it ended, and
// the next record starts on a line of its own. A file-size limit stands for the full disk.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/process.h"
#include "system/record_file.h"

namespace r462xe::e2e {
namespace {

std::string read_all(const std::string& file) {
    std::ifstream input(file, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

// The process may write files only up to `bytes` while it lives; writes beyond fail.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit before_{};
    void (*old_handler_)(int) = nullptr;
};

TEST(RecordFile, ARecordTheDiskTakesOnlyInPartIsCutOff) {
    TempDir folder;
    const std::string file = folder.file("history.csv");
    const std::string header = "Time,Outcome\r\n";
    ASSERT_EQ(append_record(file, header, "t1,updated\r\n"), "");
    const std::string before = read_all(file);
    ASSERT_EQ(before, "Time,Outcome\r\nt1,updated\r\n");
    {
        const FileSizeLimit limit(before.size() + 10);
        const std::string why = append_record(file, header, "t2," + std::string(100, 'x') + "\r\n");
        EXPECT_EQ(why, "File too large");
    }
    EXPECT_EQ(read_all(file), before);
    ASSERT_EQ(append_record(file, header, "t3,refused\r\n"), "");
    EXPECT_EQ(read_all(file), "Time,Outcome\r\nt1,updated\r\nt3,refused\r\n");
}

}  // namespace
}  // namespace r462xe::e2e
