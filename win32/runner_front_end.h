// The runner's front end on Win32: the program put together (win32/program.h), its event loop,
// message boxes and serial port as the runner's logic needs them, and the image's SHA-256 by the
// system's cryptography (BCrypt).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "runner/front_end.h"
#include "win32/program.h"

namespace r462xe {

class Win32RunnerFrontEnd : public runner::FrontEnd {
  public:
    explicit Win32RunnerFrontEnd(Win32Program& program);
    ~Win32RunnerFrontEnd() override;
    Win32RunnerFrontEnd(const Win32RunnerFrontEnd&) = delete;
    Win32RunnerFrontEnd& operator=(const Win32RunnerFrontEnd&) = delete;

    // The transcript's times count from the program's clock, which starts with the program.
    double since_start() override { return program_.events().now(); }
    void load() override { program_.load(); }
    int run_events() override { return program_.events().run(); }
    void run_handler(const char* name, const std::function<void()>& body) override;
    int dispatch_depth() override { return program_.events().dispatch_depth(); }
    int boxes_showing() override { return program_.messages().showing(); }
    void answer_boxes_after(double seconds) override;
    void observe_boxes(runner::BoxObserver observer) override;
    void start_ticks(double seconds, std::function<void()> tick) override;
    void stop_ticks() override;
    void set_program_folder(const std::string& folder) override;
    double port_now() override { return program_.port().now(); }
    void observe_port(PortObserver& observer) override { program_.port().set_observer(&observer); }
    std::optional<std::string> sha256_of(const std::filesystem::path& file) override;
    bool device_exists(const std::string& device) override;
    void set_exit_status(std::function<int()> exit_status) override;

  private:
    Win32Program& program_;
    MessageWindow ticks_;
    bool ticking_ = false;
    std::function<void()> tick_;
};

// The command line's argument in the bytes the narrow file functions take (the system's code page);
// none when a character of it has no byte there.
std::optional<std::string> code_page_bytes(const std::wstring& argument);
// Back from those bytes.
std::wstring from_code_page(const std::string& bytes);

}  // namespace r462xe
