#include "win32/runner_front_end.h"

#include <array>
#include <cmath>
#include <fstream>
#include <vector>

#include "system/windows/latin1_text.h"
#include "win32/sha256.h"

namespace r462xe {

namespace {

constexpr UINT_PTR kTicksId = 1;

// The name CreateFileW opens, as the serial port names it.
std::wstring device_path(const std::string& device) {
    const std::wstring name = wide(device);
    if (name.starts_with(L"\\\\.\\")) return name;
    return L"\\\\.\\" + name;
}

}  // namespace

std::optional<std::string> code_page_bytes(const std::wstring& argument) {
    if (argument.empty()) return std::string();
    BOOL lost = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, argument.data(),
                            static_cast<int>(argument.size()), nullptr, 0, nullptr, &lost);
    if (size <= 0 || lost) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, argument.data(),
                        static_cast<int>(argument.size()), bytes.data(), size, nullptr, &lost);
    return bytes;
}

std::wstring from_code_page(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

Win32RunnerFrontEnd::Win32RunnerFrontEnd(Win32Program& program)
    : program_(program), ticks_([this](UINT message, WPARAM id, LPARAM) {
          if (message == WM_TIMER && id == kTicksId && ticking_ && tick_) tick_();
      }) {}

Win32RunnerFrontEnd::~Win32RunnerFrontEnd() {
    stop_ticks();
}

void Win32RunnerFrontEnd::run_handler(const char* name, const std::function<void()>& body) {
    r462xe::run_handler(program_.error_log(), name, body);
}

void Win32RunnerFrontEnd::answer_boxes_after(double seconds) {
    program_.messages().set_auto_answer(seconds);
}

void Win32RunnerFrontEnd::observe_boxes(runner::BoxObserver observer) {
    program_.messages().set_observer(std::move(observer));
}

void Win32RunnerFrontEnd::start_ticks(double seconds, std::function<void()> tick) {
    tick_ = std::move(tick);
    ticking_ = true;
    SetTimer(ticks_.hwnd(), kTicksId, static_cast<UINT>(std::lround(seconds * 1000)), nullptr);
}

void Win32RunnerFrontEnd::stop_ticks() {
    if (!ticking_) return;
    ticking_ = false;
    KillTimer(ticks_.hwnd(), kTicksId);
}

void Win32RunnerFrontEnd::set_program_folder(const std::string& folder) {
    program_.window_system().set_program_folder(std::filesystem::path(from_code_page(folder)));
}

std::optional<std::string> Win32RunnerFrontEnd::sha256_of(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    if (!input) return std::nullopt;
    Sha256 hash;
    if (!hash.ready()) return std::nullopt;
    std::vector<char> chunk(1 << 16);
    while (input) {
        input.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto count = static_cast<std::size_t>(input.gcount());
        if (count > 0 && !hash.add(chunk.data(), count)) return std::nullopt;
    }
    if (!input.eof()) return std::nullopt;
    return hash.hex();
}

bool Win32RunnerFrontEnd::device_exists(const std::string& device) {
    // Opened for no transfer at all; a port that another program holds refuses even that, and is
    // there.
    HANDLE handle = CreateFileW(device_path(device).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return true;
    }
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

void Win32RunnerFrontEnd::set_exit_status(std::function<int()> exit_status) {
    program_.window_system().set_exit_status(std::move(exit_status));
}

}  // namespace r462xe
