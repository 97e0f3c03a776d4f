// POSIX: the file opened for appending and held under an exclusive flock() while the header and
// the record go in with one write; a short write is cut off with ftruncate() before the lock goes.
#include "system/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace r462xe {

namespace {
class OpenFile {
  public:
    explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
    ~OpenFile() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return descriptor_; }
    // Closes it now, for the error a close may report (a network file system's late write).
    int close() { return ::close(std::exchange(descriptor_, -1)); }

  private:
    int descriptor_;
};

// Waits a while for a program that holds the lock; one that keeps it (stopped, hung) must not
// freeze the window.
bool lock_within_wait(int descriptor) {
    for (int waited = 0; waited <= kRecordLockWaitMilliseconds;
         waited += kRecordLockRetryMilliseconds) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRecordLockRetryMilliseconds));
    }
    errno = EWOULDBLOCK;
    return false;
}

// Writes all of `text`, retrying what a signal interrupted; false with errno set when it stops.
bool write_all(int descriptor, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(descriptor, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}
}  // namespace

std::string append_record_to_file(const std::filesystem::path& file, const std::string& header,
                                  const std::string& record) {
    OpenFile output(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (output.get() < 0) return std::strerror(errno);
    if (!lock_within_wait(output.get()))
        return errno == EWOULDBLOCK ? kRecordFileLocked : std::strerror(errno);
    struct stat facts {};
    if (::fstat(output.get(), &facts) != 0) return std::strerror(errno);
    if (!write_all(output.get(), (facts.st_size == 0 ? header : "") + record)) {
        std::string reason = std::strerror(errno);
        // The file as it was, so that the next record starts on a line of its own.
        if (::ftruncate(output.get(), facts.st_size) != 0)
            return reason + "; the file now ends in a part of this record";
        return reason;
    }
    if (output.close() != 0) return std::strerror(errno);
    return "";
}

}  // namespace r462xe
