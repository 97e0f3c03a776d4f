// The runner's front end on Qt: the program put together (qt/program.h), its event loop, message
// boxes and serial port as the runner's logic needs them, and the image's SHA-256 by
// QCryptographicHash.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <system_error>

#include "qt/program.h"
#include "runner/front_end.h"

namespace r462xe {

class QtRunnerFrontEnd : public runner::FrontEnd {
  public:
    // `started`: the clock that started with the program, for the transcript's times.
    QtRunnerFrontEnd(QtProgram& program, const QElapsedTimer& started);

    double since_start() override;
    void load() override { program_.load(); }
    int run_events() override;
    void run_handler(const char* name, const std::function<void()>& body) override;
    int dispatch_depth() override { return program_.events().dispatch_depth(); }
    int boxes_showing() override { return program_.messages().showing(); }
    void answer_boxes_after(double seconds) override;
    void observe_boxes(runner::BoxObserver observer) override;
    void start_ticks(double seconds, std::function<void()> tick) override;
    void stop_ticks() override { ticks_.stop(); }
    void set_program_folder(const std::string& folder) override;
    bool device_exists(const std::string& device) override {
        std::error_code error;
        return std::filesystem::exists(device, error);
    }
    double port_now() override { return program_.port().now(); }
    void observe_port(PortObserver& observer) override { program_.port().set_observer(&observer); }
    std::optional<std::string> sha256_of(const std::filesystem::path& file) override;
    void set_exit_status(std::function<int()> exit_status) override;

  private:
    QtProgram& program_;
    const QElapsedTimer& started_;
    QTimer ticks_;
    std::function<void()> tick_;
};

}  // namespace r462xe
