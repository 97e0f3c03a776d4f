// Windows: the file opened for writing and held under an exclusive LockFileEx() on its whole
// range while the header and the record go in at its end; a write that fails part way is cut off
// with SetEndOfFile() before the lock goes.
#include "system/record_file.h"

#include <windows.h>

#include <limits>

#include "system/windows/system_error.h"

namespace r462xe {

namespace {
class OpenFile {
  public:
    explicit OpenFile(HANDLE handle) : handle_(handle) {}
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

constexpr DWORD kWholeRange = std::numeric_limits<DWORD>::max();

// Waits a while for a program that holds the lock; one that keeps it must not freeze the window.
bool lock_within_wait(HANDLE file) {
    for (int waited = 0; waited <= kRecordLockWaitMilliseconds;
         waited += kRecordLockRetryMilliseconds) {
        OVERLAPPED from_start{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeRange,
                       kWholeRange, &from_start))
            return true;
        if (GetLastError() != ERROR_LOCK_VIOLATION) return false;
        Sleep(kRecordLockRetryMilliseconds);
    }
    SetLastError(ERROR_LOCK_VIOLATION);
    return false;
}

bool write_all(HANDLE file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}
}  // namespace

std::string append_record_to_file(const std::filesystem::path& file, const std::string& header,
                                  const std::string& record) {
    OpenFile output(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output.get() == INVALID_HANDLE_VALUE) return system_error_text(GetLastError());
    if (!lock_within_wait(output.get())) {
        const DWORD reason = GetLastError();
        return reason == ERROR_LOCK_VIOLATION ? kRecordFileLocked : system_error_text(reason);
    }
    std::string outcome;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(output.get(), &size) ||
        !SetFilePointerEx(output.get(), size, nullptr, FILE_BEGIN)) {
        outcome = system_error_text(GetLastError());
    } else if (!write_all(output.get(), (size.QuadPart == 0 ? header : "") + record)) {
        outcome = system_error_text(GetLastError());
        // The file as it was, so that the next record starts on a line of its own.
        if (!SetFilePointerEx(output.get(), size, nullptr, FILE_BEGIN) ||
            !SetEndOfFile(output.get()))
            outcome += "; the file now ends in a part of this record";
    }
    OVERLAPPED from_start{};
    UnlockFileEx(output.get(), 0, kWholeRange, kWholeRange, &from_start);
    return outcome;
}

}  // namespace r462xe
