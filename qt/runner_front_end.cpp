#include "qt/runner_front_end.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <cmath>

#include "qt/window.h"

namespace r462xe {

QtRunnerFrontEnd::QtRunnerFrontEnd(QtProgram& program, const QElapsedTimer& started)
    : program_(program), started_(started) {
    QObject::connect(&ticks_, &QTimer::timeout, [this] {
        if (tick_) tick_();
    });
}

double QtRunnerFrontEnd::since_start() {
    return static_cast<double>(started_.nsecsElapsed()) / 1e9;
}

int QtRunnerFrontEnd::run_events() {
    return QApplication::exec();
}

void QtRunnerFrontEnd::run_handler(const char* name, const std::function<void()>& body) {
    r462xe::run_handler(name, body);
}

void QtRunnerFrontEnd::answer_boxes_after(double seconds) {
    program_.messages().set_auto_answer(seconds);
}

void QtRunnerFrontEnd::observe_boxes(runner::BoxObserver observer) {
    program_.messages().set_observer(std::move(observer));
}

void QtRunnerFrontEnd::start_ticks(double seconds, std::function<void()> tick) {
    tick_ = std::move(tick);
    ticks_.setInterval(static_cast<int>(std::lround(seconds * 1000)));
    ticks_.start();
}

void QtRunnerFrontEnd::set_program_folder(const std::string& folder) {
    program_.window_system().set_program_folder(
        QFile::decodeName(QByteArray::fromStdString(folder)));
}

std::optional<std::string> QtRunnerFrontEnd::sha256_of(const std::filesystem::path& file) {
    QFile image(QString::fromStdWString(file.wstring()));
    if (!image.open(QIODevice::ReadOnly)) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&image)) return std::nullopt;
    return hash.result().toHex().toStdString();
}

void QtRunnerFrontEnd::set_exit_status(std::function<int()> exit_status) {
    program_.window_system().set_exit_status(std::move(exit_status));
}

}  // namespace r462xe
