#include "runner/session_record.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <sstream>

namespace r462xe::runner {

namespace {

// The image's SHA-256 in hexadecimal, or why there is none.
std::string image_digest(const std::filesystem::path& image) {
    QFile file(QString::fromStdWString(image.wstring()));
    if (!file.open(QIODevice::ReadOnly)) return "unreadable";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return "unreadable";
    return "sha256 " + hash.result().toHex().toStdString();
}

}  // namespace

std::unique_ptr<SessionRecord> SessionRecord::open(const Options& options,
                                                   const std::filesystem::path& image,
                                                   double start) {
    std::ofstream file(*options.record, std::ios::binary | std::ios::trunc);
    if (!file) return nullptr;
    std::unique_ptr<SessionRecord> record(new SessionRecord(std::move(file), start));
    auto& writer = record->writer_;
    writer.note("program " + QCoreApplication::applicationName().toStdString() + " " +
                QCoreApplication::applicationVersion().toStdString());
    writer.note("image " + image.filename().string() + " " + image_digest(image));
    std::ostringstream presses;
    presses << "presses " << (options.upload ? options.presses : 0) << " answer-after "
            << options.answer_after;
    writer.note(presses.str());
    writer.note("it holds the meter's serial number, as the meter reported it");
    return record;
}

SessionRecord::SessionRecord(std::ofstream file, double start)
    : file_(std::move(file)), writer_(file_), recorder_(writer_, start) {}

void SessionRecord::finish(const std::string& outcome) {
    recorder_.flush();
    writer_.note("outcome " + outcome);
}

}  // namespace r462xe::runner
