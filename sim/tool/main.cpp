// r462xe-meter-sim: a virtual R462xE meter that the updater reaches like a real one, over a
// pseudo-terminal or a serial device, in real time.
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/meter/meter_protocol.h"
#include "sim/tool/host_line.h"
#include "sim/tool/options.h"
#include "sim/tool/realtime_meter.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The image the flash is compared with: a regular file no larger than the flash holds; what is
// wrong with it otherwise, as a usage error.
std::string read_image(const std::string& path) {
    using r462xe::sim::kImageSize;
    using r462xe::sim::UsageError;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        throw UsageError("--expect-image: cannot read '" + path + "': no such file");
    if (!std::filesystem::is_regular_file(status))
        throw UsageError("--expect-image: '" + path + "' is not a file");
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kImageSize) {
        throw UsageError("--expect-image: '" + path + "' is larger than an image (" +
                         std::to_string(kImageSize) + " bytes)");
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::ifstream file(path, std::ios::binary);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size)))
        throw UsageError("--expect-image: cannot read '" + path + "'");
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace r462xe;
    using namespace r462xe::sim;
    ToolOptions options;
    std::optional<std::string> image;
    std::optional<Recording> recording;
    // The usage names the program as it is called, without its folder.
    std::string name = std::filesystem::path(argv[0]).filename().string();
    try {
        // Each byte one character: texts and file names come back unchanged.
        QStringList arguments{QString::fromStdString(name)};
        for (int i = 1; i < argc; ++i) arguments.append(QString::fromLatin1(argv[i]));
        options = parse_options(arguments);
        if (options.help) {
            // Only the usage needs an application object (for the program's name): the tool
            // itself runs on its own loop, without Qt.
            int qt_argc = 1;
            char* qt_argv[] = {name.data(), nullptr};
            const QCoreApplication app(qt_argc, qt_argv);
            std::fputs(usage().c_str(), stdout);
            return 0;
        }
        if (options.replay) {
            try {
                recording = read_recording_file(*options.replay);
            } catch (const RecordingError& error) {
                throw UsageError("--replay: " + std::string(error.what()));
            }
        }
        if (options.expect_image) {
            image = read_image(*options.expect_image);
        }
    } catch (const UsageError& error) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", name.c_str(), error.what(),
                     name.c_str());
        return kExitUsage;
    }

    // Signals arrive through a descriptor, so the loop sees them between two polls.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, options.power_cycle_signal);
    std::signal(SIGPIPE, SIG_IGN);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        std::perror("r462xe-meter-sim: sigprocmask");
        return kExitFailure;
    }
    const int signal_fd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signal_fd < 0) {
        std::perror("r462xe-meter-sim: signalfd");
        return kExitFailure;
    }

    try {
        const int first_baud = options.faults.start_in_update_mode ? kUpdateBaud : kNormalBaud;
        const auto line =
            options.device ? open_device_line(*options.device, first_baud) : open_pty_line();
        std::printf("%s\n", line->path().c_str());
        std::fflush(stdout);
        RealtimeMeter meter(*line, options, std::move(image), std::move(recording));
        return meter.run(signal_fd, options.power_cycle_signal);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "r462xe-meter-sim: %s\n", error.what());
        return kExitFailure;
    }
}
