#include "sim/tool/host_line.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace r462xe::sim {

namespace {

struct Speed {
    speed_t code;
    int baud;
};

constexpr Speed kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

int baud_of(speed_t code) {
    for (const Speed& speed : kSpeeds) {
        if (speed.code == code) return speed.baud;
    }
    return 0;
}

speed_t code_of(int baud) {
    for (const Speed& speed : kSpeeds) {
        if (speed.baud == baud) return speed.code;
    }
    throw std::system_error(EINVAL, std::generic_category(),
                            "no line speed " + std::to_string(baud));
}

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Closes the descriptor it holds.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

// 8N1, raw, no flow control, at `baud`.
void set_raw(int fd, int baud, const std::string& what) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) fail("tcgetattr " + what);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, code_of(baud));
    cfsetospeed(&settings, code_of(baud));
    if (tcsetattr(fd, TCSANOW, &settings) != 0) fail("tcsetattr " + what);
}

class PtyLine final : public HostLine {
  public:
    PtyLine() {
        master_.reset(posix_openpt(O_RDWR | O_NOCTTY));
        if (master_.get() < 0) fail("posix_openpt");
        if (grantpt(master_.get()) != 0) fail("grantpt");
        if (unlockpt(master_.get()) != 0) fail("unlockpt");
        char name[128];
        if (ptsname_r(master_.get(), name, sizeof name) != 0) fail("ptsname");
        path_ = name;
        if (fcntl(master_.get(), F_SETFL, O_NONBLOCK) != 0) fail("fcntl " + path_);
        if (fcntl(master_.get(), F_SETFD, FD_CLOEXEC) != 0) fail("fcntl " + path_);
        // Held open so that the master never sees a hangup when the updater closes its port,
        // and so that the settings (the speed sentinel) survive between openers.
        slave_.reset(open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (slave_.get() < 0) fail("open " + path_);
        set_raw(slave_.get(), kNoHostBaud, path_);
    }

    int fd() const override { return master_.get(); }
    const std::string& path() const override { return path_; }

    int host_baud() override {
        // On Linux the master reports the slave's settings.
        termios settings{};
        if (tcgetattr(master_.get(), &settings) != 0) return kNoHostBaud;
        return baud_of(cfgetospeed(&settings));
    }

    void meter_baud_changed(int) override {}
    void drop_unread() override { tcflush(slave_.get(), TCIFLUSH); }
    bool paces_itself() const override { return false; }

    void close() override {
        master_.reset();
        slave_.reset();
    }

  private:
    Fd master_;
    Fd slave_;
    std::string path_;
};

// A real UART garbles what comes at another speed by itself; the host's speed is not visible
// from here, so the meter is told every byte came at its own speed.
class DeviceLine final : public HostLine {
  public:
    DeviceLine(const std::string& path, int baud) : path_(path), baud_(baud) {
        fd_.reset(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (fd_.get() < 0) fail("open " + path);
        set_raw(fd_.get(), baud, path);
    }

    int fd() const override { return fd_.get(); }
    const std::string& path() const override { return path_; }
    int host_baud() override { return baud_; }

    void meter_baud_changed(int baud) override {
        if (baud == baud_) return;
        baud_ = baud;
        set_raw(fd_.get(), baud, path_);
    }

    void drop_unread() override {}
    bool paces_itself() const override { return true; }
    void close() override { fd_.reset(); }

  private:
    Fd fd_;
    std::string path_;
    int baud_;
};

}  // namespace

std::unique_ptr<HostLine> open_pty_line() {
    return std::make_unique<PtyLine>();
}

std::unique_ptr<HostLine> open_device_line(const std::string& path, int baud) {
    return std::make_unique<DeviceLine>(path, baud);
}

}  // namespace r462xe::sim
