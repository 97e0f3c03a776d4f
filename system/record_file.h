// A file of records, one per line, that several programs may append to at once: each record goes
// in whole or not at all, and never mixes with another's.
#pragma once

#include <filesystem>
#include <string>

namespace r462xe {

// Appends `record` to `file`, after `header` when the file is new or empty, and makes the file's
// folders when missing. The file is locked while it is written; a write that fails part way is
// cut off again. Returns the system's reason when the record is not in the file; empty when it is.
std::string append_record(const std::filesystem::path& file, const std::string& header,
                          const std::string& record);

// The system's part of append_record, for a file whose folder exists: open, lock, write, cut back.
std::string append_record_to_file(const std::filesystem::path& file, const std::string& header,
                                  const std::string& record);

// How long a program waits for another to finish its record before it gives up.
inline constexpr int kRecordLockWaitMilliseconds = 2000;
inline constexpr int kRecordLockRetryMilliseconds = 10;
inline constexpr const char* kRecordFileLocked = "another program kept the file locked";
inline constexpr const char* kNoRecordFolder = "the system names no folder for it";

}  // namespace r462xe
