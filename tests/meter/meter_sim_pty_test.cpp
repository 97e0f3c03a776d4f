// The pty tool in real time: a host opens the pseudo-terminal as the updater would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace r462xe::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(5);
constexpr auto kReplyTimeout = std::chrono::seconds(1);
constexpr auto kSilenceWindow = std::chrono::milliseconds(500);

// The tool next to this test binary, or where R462XE_METER_SIM says.
std::string tool_path() {
    if (const char* path = std::getenv("R462XE_METER_SIM")) return path;
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return (self.parent_path() / "r462xe-meter-sim").string();
}

// Reads what comes on `fd` until `done` says so or `timeout` has passed.
template <typename Done>
std::string read_until(int fd, Clock::duration timeout, Done done) {
    const auto end = Clock::now() + timeout;
    std::string got;
    while (!done(got)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd in{fd, POLLIN, 0};
        if (poll(&in, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[256];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) break;
        got.append(buffer, static_cast<std::size_t>(count));
    }
    return got;
}

// The tool as a child process: its stdout on a pipe, its log in an unnamed file; ended on
// destruction.
class ToolProcess {
  public:
    ToolProcess(const std::string& path, const std::vector<std::string>& args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        char log_name[] = "/tmp/r462xe-meter-sim-log-XXXXXX";
        log_fd_ = mkostemp(log_name, O_CLOEXEC);
        unlink(log_name);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, log_fd_, STDERR_FILENO);
        std::vector<std::string> all = {path};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_fd_ = out[0];
    }

    ~ToolProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdout_fd_ >= 0) close(stdout_fd_);
        if (log_fd_ >= 0) close(log_fd_);
    }

    bool started() const { return pid_ > 0; }

    std::string first_line() {
        std::string line = read_until(stdout_fd_, kStartTimeout, [](const std::string& got) {
            return got.find('\n') != std::string::npos;
        });
        return line.substr(0, line.find('\n'));
    }

    std::string all_stdout() {
        return read_until(stdout_fd_, kStartTimeout, [](const std::string&) { return false; });
    }

    // Sends `signal` (none: just waits) and returns the exit status, or -1 if it did not end.
    int end(int signal) {
        if (signal != 0) kill(pid_, signal);
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (Clock::now() < deadline) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    std::string log() const {
        std::string text;
        char buffer[4096];
        ssize_t count;
        for (off_t at = 0; (count = pread(log_fd_, buffer, sizeof buffer, at)) > 0; at += count) {
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

  private:
    pid_t pid_ = -1;
    int stdout_fd_ = -1;
    int log_fd_ = -1;
};

// The updater's side: the pseudo-terminal opened raw, 8N1.
class HostPort {
  public:
    explicit HostPort(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~HostPort() {
        if (fd_ >= 0) close(fd_);
    }
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool set_speed(speed_t speed) {
        termios settings{};
        if (tcgetattr(fd_, &settings) != 0) return false;
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
        return tcsetattr(fd_, TCSANOW, &settings) == 0;
    }

    bool write_all(const std::string& bytes) {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

  private:
    int fd_;
};

std::string reply_line(int fd) {
    return read_until(fd, kReplyTimeout, [](const std::string& got) {
        return got.size() >= 2 && got.compare(got.size() - 2, 2, "\r\n") == 0;
    });
}

std::string anything_within(int fd, Clock::duration window) {
    return read_until(fd, window, [](const std::string&) { return false; });
}

TEST(MeterSimPty, AnswersOnlyAtItsSpeed) {
    const std::string tool = tool_path();
    if (access(tool.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "r462xe-meter-sim not found at '" << tool
                     << "': build it, or set R462XE_METER_SIM to its path";
    }
    ToolProcess process(tool, {});
    ASSERT_TRUE(process.started());
    const std::string path = process.first_line();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "first line: '" << path << "'";

    {
        HostPort host(path);
        ASSERT_TRUE(host.is_open()) << path;
        ASSERT_TRUE(host.set_speed(B9600));
        const auto asked = Clock::now();
        ASSERT_TRUE(host.write_all("*IDN?\r\n"));
        EXPECT_EQ(reply_line(host.fd()), "Marelind,R4622E,SN55250001,V3.05\r\n");
        // 7 bytes in and 34 out at 9600 take 43 ms on a real line.
        EXPECT_GE(Clock::now() - asked, std::chrono::milliseconds(43));

        ASSERT_TRUE(host.set_speed(B19200));
        ASSERT_TRUE(host.write_all("*IDN?\r\n"));
        EXPECT_EQ(anything_within(host.fd(), kSilenceWindow), "");
    }
    EXPECT_EQ(process.end(SIGTERM), 0);
    if (HasFailure()) ADD_FAILURE() << "tool log:\n" << process.log();
}

TEST(MeterSimPty, CommandLine) {
    const std::string tool = tool_path();
    if (access(tool.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "r462xe-meter-sim not found at '" << tool
                     << "': build it, or set R462XE_METER_SIM to its path";
    }
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string in_log;  // the reason given
    };
    const std::vector<Case> cases = {
        {{"--help"}, 0, ""},
        {{"--bogus"}, 2, "Unknown option 'bogus'."},
        {{"--star-e"}, 2, "Missing value after '--star-e'."},
        {{"--star-e", "two"}, 2, "--star-e wants a whole number"},
        {{"--reject-block=-1"}, 2, "--reject-block wants a whole number"},
        {{"--restart-seconds", "-1"}, 2, "--restart-seconds wants seconds"},
        {{"--xon=1"}, 2, "Unexpected value after '--xon'."},
        {{"--power-cycle-on", "TERM"}, 2, "cannot be used"},
        {{"--power-cycle-on", "NOSUCH"}, 2, "unknown signal"},
        {{"--idn-reply", "\\q"}, 2, "unknown escape"},
        {{"--block-reply", "x"}, 2, "--block-reply and --block-reply-at go together"},
        {{"--expect-image", "/nonexistent/image.bin"}, 2, "cannot read"},
        {{"--expect-image", "/tmp"}, 2, "'/tmp' is not a file"},
        {{"--expect-image", "/proc/self/exe"}, 2, "is larger than an image (61440 bytes)"},
        {{"stray"}, 2, "Unexpected argument 'stray'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        ToolProcess process(tool, c.args);
        ASSERT_TRUE(process.started());
        const std::string out = process.all_stdout();
        EXPECT_EQ(process.end(0), c.status);
        if (c.status == 0) {
            EXPECT_NE(out.find("Usage: r462xe-meter-sim"), std::string::npos) << out;
        } else {
            EXPECT_EQ(out, "");
            EXPECT_NE(process.log().find(c.in_log), std::string::npos) << process.log();
        }
    }
}

}  // namespace
}  // namespace r462xe::sim
