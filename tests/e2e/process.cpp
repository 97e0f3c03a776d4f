#include "e2e/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace r462xe::e2e {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Reads what is there; false once the writer has gone.
bool read_some(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
        into.append(buffer, static_cast<std::size_t>(count));
        return true;
    }
    return count < 0 && (errno == EAGAIN || errno == EINTR);
}

}  // namespace

std::string bin(const std::string& name) {
    return std::string(R462XE_BIN_DIR) + "/" + name;
}

std::string system_program(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

Child::Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
             const std::vector<std::string>& unset) {
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) fail("pipe");

    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& name : unset) merged.erase(name);
    for (const auto& [name, value] : env) merged[name] = value;
    std::vector<std::string> env_texts;
    for (const auto& [name, value] : merged) env_texts.push_back(name + "=" + value);
    // Built before fork: the child only calls what is safe there.
    std::vector<char*> env_pointers;
    for (auto& text : env_texts) env_pointers.push_back(text.data());
    env_pointers.push_back(nullptr);
    std::vector<std::string> arg_texts = argv;
    std::vector<char*> arg_pointers;
    for (auto& text : arg_texts) arg_pointers.push_back(text.data());
    arg_pointers.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) fail("fork");
    if (pid_ == 0) {
        ::dup2(out_pipe[1], STDOUT_FILENO);
        ::dup2(err_pipe[1], STDERR_FILENO);
        ::execve(arg_pointers[0], arg_pointers.data(), env_pointers.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    collector_ = std::thread(
        [this, out_fd = out_pipe[0], err_fd = err_pipe[0]] { collect(out_fd, err_fd); });
}

Child::~Child() {
    kill_now();
}

void Child::collect(int out_fd, int err_fd) {
    int fds[2] = {out_fd, err_fd};
    std::string* into[2] = {&out_, &err_};
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd polled[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        if (::poll(polled, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || polled[i].revents == 0) continue;
            std::string bytes;
            const bool open = read_some(fds[i], bytes);
            {
                const std::lock_guard lock(mutex_);
                *into[i] += bytes;
            }
            changed_.notify_all();
            if (!open) {
                ::close(fds[i]);
                fds[i] = -1;
            }
        }
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
        exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        end_signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        cpu_at_end_ = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        peak_kib_at_end_ = usage.ru_maxrss;
    }
    changed_.notify_all();
}

bool Child::wait_for_output(const std::function<bool(const std::string&)>& done, Seconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return done(out_) || ended_; });
    return done(out_);
}

bool Child::wait_for_exit(Seconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ended_; });
}

bool Child::running() {
    const std::lock_guard lock(mutex_);
    return !ended_;
}

int Child::exit_status() {
    const std::lock_guard lock(mutex_);
    return exit_status_;
}

int Child::end_signal() {
    const std::lock_guard lock(mutex_);
    return end_signal_;
}

void Child::send_signal(int signal) {
    if (running()) ::kill(pid_, signal);
}

std::string Child::out() {
    const std::lock_guard lock(mutex_);
    return out_;
}

std::string Child::err() {
    const std::lock_guard lock(mutex_);
    return err_;
}

void Child::kill_now() {
    if (running()) ::kill(pid_, SIGKILL);
    if (collector_.joinable()) collector_.join();
}

double Child::cpu_seconds() {
    {
        const std::lock_guard lock(mutex_);
        if (ended_) return cpu_at_end_;
    }
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold blanks; the fields after it are plain numbers.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index)
        if (index == 14 || index == 15) ticks += std::stod(field);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long Child::peak_memory_kib() {
    {
        const std::lock_guard lock(mutex_);
        if (ended_) return peak_kib_at_end_;
    }
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
    return 0;
}

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) fail("posix_openpt");
    char name[256];
    if (::ptsname_r(master_, name, sizeof name) != 0) fail("ptsname_r");
    path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) fail("open " + path_);
    // Raw from the start: nothing the program sends is translated or echoed before it sets the
    // line up itself.
    termios settings{};
    ::tcgetattr(slave_, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(slave_, TCSANOW, &settings);
    drainer_ = std::thread([this] { drain(); });
}

Pty::~Pty() {
    hang_up();
}

void Pty::drain() {
    while (!stop_) {
        pollfd fd{master_, POLLIN, 0};
        if (::poll(&fd, 1, 50) <= 0) continue;
        std::string bytes;
        if (!read_some(master_, bytes)) {
            // No program holds the terminal at the moment (only possible after a hang-up).
            ::poll(nullptr, 0, 50);
            continue;
        }
        const std::lock_guard lock(mutex_);
        received_ += bytes;
    }
}

std::string Pty::received() {
    const std::lock_guard lock(mutex_);
    return received_;
}

void Pty::hang_up() {
    stop_ = true;
    if (drainer_.joinable()) drainer_.join();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

MeterSim::MeterSim(const std::vector<std::string>& options)
    : child_([&] {
          std::vector<std::string> argv = {bin("r462xe-meter-sim")};
          argv.insert(argv.end(), options.begin(), options.end());
          return argv;
      }()) {
    const auto has_line = [](const std::string& out) {
        return out.find('\n') != std::string::npos;
    };
    if (child_.wait_for_output(has_line, std::chrono::seconds(10)))
        path_ = child_.out().substr(0, child_.out().find('\n'));
}

bool MeterSim::flash_matches(Seconds timeout) {
    constexpr const char* kMatches = "flash matches image";
    child_.wait_for_output(
        [&](const std::string& out) {
            return out.find(kMatches) != std::string::npos ||
                   out.find("flash differs from image") != std::string::npos;
        },
        timeout);
    return child_.out().find(kMatches) != std::string::npos;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/r462xe-e2e-XXXXXX";
    if (!::mkdtemp(pattern)) fail("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(file(name), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file(name));
}

std::map<std::string, std::string> offscreen_env(const TempDir& runtime) {
    return {{"QT_QPA_PLATFORM", "offscreen"},
            {"XDG_RUNTIME_DIR", runtime.path()},
            {"XDG_STATE_HOME", runtime.path() + "/state"}};
}

std::vector<std::string> runner_command(const std::map<int, std::string>& ports,
                                        const std::string& folder,
                                        const std::vector<std::string>& options) {
    std::vector<std::string> argv = {bin("r462xe-fwupdate-runner")};
    for (const auto& [number, device] : ports) {
        argv.push_back("--port");
        argv.push_back(std::to_string(number) + "=" + device);
    }
    argv.push_back("--folder");
    argv.push_back(folder);
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

}  // namespace r462xe::e2e
