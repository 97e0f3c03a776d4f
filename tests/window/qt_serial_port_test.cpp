// Faults that only the Qt serial port can have: how it reads the system's refusals and a device
// that goes away. Pseudo-terminals stand in for the cable; a user without the right is the user
// nobody, in a child process, when the tests run as root.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>

#include "ports/port_finding_rule.h"
#include "qt/serial_port.h"
#include "recording/recording.h"
#include "recording/session_recorder.h"
#include "serial/port_map.h"
#include "text/c_quote.h"

namespace r462xe {
namespace {

constexpr int kCom = 3;

// A pseudo-terminal: the test holds the master side, the port opens the other.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            path_ = ::ptsname(master_);
    }
    ~Pty() { hang_up(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    int master() const { return master_; }
    // The far end goes away, as a cable pulled out.
    void hang_up() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string path_;
};

// Runs `body` in a child process with a QCoreApplication of its own and returns what it wrote
// to `out`; the child drops to the user nobody first when the tests run as root.
std::string in_child(bool as_nobody, const std::function<std::string()>& body) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_ends[0]);
        if (as_nobody && ::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr || ::setgroups(0, nullptr) != 0 ||
                ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                std::_Exit(3);
        }
        int argc = 1;
        char name[] = "serial-port-tests";
        char* argv[] = {name, nullptr};
        const QCoreApplication app(argc, argv);
        const std::string out = body();
        if (::write(pipe_ends[1], out.data(), out.size()) < 0) std::_Exit(4);
        std::_Exit(0);
    }
    ::close(pipe_ends[1]);
    std::string out;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(got));
    ::close(pipe_ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
    return out;
}

const char* fault_name(PortFault fault) {
    switch (fault) {
        case PortFault::Other:
            return "other";
        case PortFault::Absent:
            return "absent";
        case PortFault::NoRight:
            return "no right";
        case PortFault::Held:
            return "held";
        case PortFault::Gone:
            return "gone";
    }
    return "?";
}

// Opens COM3 on `device` and says how it failed: "fault|group|group may open|finding text".
std::string open_failure(const std::string& device) {
    PortMap ports({{kCom, device}});
    QtSerialPort port(ports);
    try {
        port.set_CommPort(kCom);
        port.set_PortOpen(true);
    } catch (const PortError& error) {
        return std::string(fault_name(error.trouble.fault)) + "|" + error.trouble.group + "|" +
               (error.trouble.group_may_open ? "group may open" : "group may not") + "|" +
               port_finding_text(open_failure_finding(error.trouble));
    }
    return "opened";
}

TEST(QtSerialPortOpen, PathThatIsNotThereIsAMissingDevice) {
    const std::string out = in_child(false, [] { return open_failure("/dev/ttyR462xeNone"); });
    EXPECT_EQ(out.substr(0, out.find('|')), "absent") << out;
}

TEST(QtSerialPortOpen, DeviceAnotherProgramHoldsIsHeldNotForbidden) {
    Pty pty;
    ASSERT_FALSE(pty.path().empty());
    const std::string out = in_child(false, [&pty] {
        // The other program: a serial port of its own on the same device, kept open.
        QSerialPort other;
        other.setPortName(QString::fromStdString(pty.path()));
        if (!other.open(QIODevice::ReadWrite)) return std::string("the other program failed");
        return open_failure(pty.path());
    });
    EXPECT_EQ(out.substr(0, out.find('|')), "held") << out;
}

// The device readable by its group but writable only by its owner: the user is in the group, and
// joining it would not help.
TEST(QtSerialPortOpen, GroupThatMayOnlyReadGetsTheDeviceRuleAdvice) {
    Pty pty;
    ASSERT_FALSE(pty.path().empty());
    // As root the child is nobody in nogroup, and the owner root alone may write; otherwise the
    // owner is the user, whom the mode leaves nothing, in the user's own group.
    const bool root = ::geteuid() == 0;
    const group* nogroup = ::getgrnam("nogroup");
    ASSERT_TRUE(!root || nogroup != nullptr);
    const gid_t device_group = root ? nogroup->gr_gid : ::getgid();
    ASSERT_EQ(::chown(pty.path().c_str(), static_cast<uid_t>(-1), device_group), 0);
    ASSERT_EQ(::chmod(pty.path().c_str(), root ? 0640 : 0040), 0);
    const group* named = ::getgrgid(device_group);
    ASSERT_NE(named, nullptr);

    const std::string out = in_child(true, [&pty] { return open_failure(pty.path()); });
    EXPECT_EQ(out.substr(0, out.find('|', out.find('|', out.find('|') + 1) + 1)),
              std::string("no right|") + named->gr_name + "|group may not")
        << out;
    EXPECT_NE(out.find("give the device a udev rule"), std::string::npos) << out;
    EXPECT_EQ(out.find("join that group (sudo usermod -aG " + std::string(named->gr_name)),
              std::string::npos)
        << out;
}

// A cable pulled while the port is open, met first by a read (Qt: a read error) or by a write
// (Qt: a resource error): either means that the device has gone. The event handler hears one
// break, and every later transfer fails as gone.
struct HangUpCase {
    const char* name;
    bool read_first;
};

void PrintTo(const HangUpCase& c, std::ostream* out) {
    *out << c.name;
}

class QtSerialPortHangUp : public ::testing::TestWithParam<HangUpCase> {};

TEST_P(QtSerialPortHangUp, IsADeviceGone) {
    const bool read_first = GetParam().read_first;
    // The pseudo-terminal is the child's alone, so that its hang-up reaches the port.
    const std::string out = in_child(false, [read_first] {
        Pty pty;
        PortMap ports({{kCom, pty.path()}});
        QtSerialPort port(ports);
        int breaks = 0;
        port.set_OnComm([&] { breaks += port.CommEvent() == kCommEventBreak ? 1 : 0; });
        port.set_CommPort(kCom);
        port.set_PortOpen(true);
        pty.hang_up();
        const auto transfer = [&port](bool read) {
            try {
                if (read)
                    port.InBufferCount();
                else
                    port.Output("*IDN?\r\n");
            } catch (const PortError& error) {
                return std::string(fault_name(error.trouble.fault));
            }
            return std::string("no failure");
        };
        const std::string first = transfer(read_first);
        QElapsedTimer waited;
        waited.start();
        while (breaks == 0 && waited.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return first + ", " + std::to_string(breaks) + " break, then " + transfer(!read_first);
    });
    EXPECT_EQ(out, "gone, 1 break, then gone");
}

INSTANTIATE_TEST_SUITE_P(FirstMetBy, QtSerialPortHangUp,
                         ::testing::Values(HangUpCase{"read", true}, HangUpCase{"write", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A meter's reply that reaches the port one byte at a time, a millisecond apart (faster than the
// line's 9600 baud brings them), is recorded as one meter line.
TEST(QtSerialPortRecording, AReplyArrivingByteByByteIsOneMeterLine) {
    const std::string out = in_child(false, [] {
        Pty pty;
        PortMap ports({{kCom, pty.path()}});
        QtSerialPort port(ports);
        std::ostringstream text;
        RecordingWriter writer(text);
        SessionRecorder recorder(writer, port.now());
        port.set_observer(&recorder);
        port.set_CommPort(kCom);
        port.set_PortOpen(true);
        const std::string reply = "Maker,R4622E,SN55250001,V3.05\r\n";
        for (const char byte : reply) {
            if (::write(pty.master(), &byte, 1) != 1) return std::string("no write");
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < 1) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        port.set_PortOpen(false);
        recorder.flush();
        std::istringstream in(text.str());
        std::string lines;
        for (const RecordedChunk& chunk : read_recording(in).chunks)
            if (chunk.kind == RecordedChunk::Kind::meter) lines += c_quote(chunk.bytes) + "\n";
        return lines;
    });
    EXPECT_EQ(out, "\"Maker,R4622E,SN55250001,V3.05\\r\\n\"\n");
}

// Counts what the port tells of the bytes it received, and how often.
struct ReceivedCount : PortObserver {
    void opened(double, int, const std::string&) override {}
    void closed(double) override {}
    void speed(double, int) override {}
    void host_wrote(double, int, const std::string&) override {}
    void host_received(double, int, const std::string& bytes) override {
        bytes_told += bytes.size();
        ++arrivals;
    }
    std::size_t bytes_told = 0;
    std::size_t arrivals = 0;
};

// A device that talks without a pause to a port nobody reads (an idle window after the search)
// fills the receive buffer to its 4,096 bytes and no further: the oldest bytes wait whole, what
// came after them is dropped, and only the bytes kept are told. Once read, the buffer takes again.
TEST(QtSerialPortReceiveBuffer, ATalkingDeviceFillsItToItsBoundAndNoFurther) {
    const std::string out = in_child(false, [] {
        Pty pty;
        ::fcntl(pty.master(), F_SETFL, ::fcntl(pty.master(), F_GETFL) | O_NONBLOCK);
        PortMap ports({{kCom, pty.path()}});
        QtSerialPort port(ports);
        ReceivedCount count;
        port.set_observer(&count);
        port.set_CommPort(kCom);
        port.set_PortOpen(true);
        // 40,000 bytes of the alphabet over and over, handed over as the line takes them.
        std::string talk;
        for (int i = 0; i < 40000; ++i) talk += static_cast<char>('a' + i % 26);
        const auto send = [&pty](const std::string& bytes) {
            QElapsedTimer spent;
            spent.start();
            for (std::size_t sent = 0; sent < bytes.size() && spent.elapsed() < 10000;) {
                const ssize_t put = ::write(pty.master(), bytes.data() + sent,
                                            std::min<std::size_t>(512, bytes.size() - sent));
                if (put > 0) sent += static_cast<std::size_t>(put);
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            QElapsedTimer settle;
            settle.start();
            while (settle.elapsed() < 200)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        };
        send(talk);
        std::ostringstream said;
        said << port.InBufferCount() << " waiting, " << count.bytes_told << " told; ";
        const std::string first = port.Input();
        said << (first == talk.substr(0, 4096) ? "the first 4096 bytes" : "other bytes") << "; ";
        send("after");
        said << port.InBufferCount() << " waiting; " << count.bytes_told << " told";
        port.set_PortOpen(false);
        return said.str();
    });
    EXPECT_EQ(out, "4096 waiting, 4096 told; the first 4096 bytes; 5 waiting; 4101 told");
}

}  // namespace
}  // namespace r462xe
