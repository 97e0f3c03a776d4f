#include "runner/session_record.h"

#include <cerrno>
#include <cstring>
#include <sstream>

namespace r462xe::runner {

std::unique_ptr<SessionRecord> SessionRecord::open(const Options& options,
                                                   const std::string& program,
                                                   const std::filesystem::path& image,
                                                   const std::optional<std::string>& image_sha256,
                                                   double start, std::string& refusal) {
    errno = 0;
    std::ofstream file(*options.record, std::ios::binary | std::ios::trunc);
    if (!file) {
        refusal = errno != 0 ? std::strerror(errno) : "it cannot be opened";
        return nullptr;
    }
    std::unique_ptr<SessionRecord> record(new SessionRecord(std::move(file), start));
    auto& writer = record->writer_;
    writer.note("program " + program + " " + std::string(version_number()));
    writer.note("image " + image.filename().string() + " " +
                (image_sha256 ? "sha256 " + *image_sha256 : "unreadable"));
    std::ostringstream presses;
    presses << "presses " << (options.upload ? options.presses : 0) << " answer-after "
            << options.answer_after;
    writer.note(presses.str());
    writer.note("it holds the meter's serial number, as the meter reported it");
    // A file that opens but takes nothing (a full disk, /dev/full) is refused before the session
    // begins, as one that does not open.
    if (!writer.intact()) {
        refusal = writer.loss();
        return nullptr;
    }
    return record;
}

SessionRecord::SessionRecord(std::ofstream file, double start)
    : file_(std::move(file)), writer_(file_), recorder_(writer_, start) {}

void SessionRecord::finish(const std::string& outcome) {
    recorder_.flush();
    writer_.note("outcome " + outcome);
}

}  // namespace r462xe::runner
