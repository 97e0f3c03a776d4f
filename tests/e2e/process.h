// Real programs for the real-time tests: child processes with their output captured, pseudo-
// terminals standing in for serial ports, and scratch folders.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace r462xe::e2e {

using Seconds = std::chrono::duration<double>;

// A program of the build folder.
std::string bin(const std::string& name);

// A program of the system, found on the PATH; empty when it is not there.
std::string system_program(const std::string& name);

// A running child. A thread collects its stdout and stderr as they come, so a child that talks a
// lot never blocks on a full pipe; it is killed when the object goes, so no test leaves a process
// behind.
class Child {
  public:
    // `env`: added to (or replacing entries of) this process's environment; `unset`: names of
    // this process's environment left out.
    Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
          const std::vector<std::string>& unset = {});
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    pid_t pid() const { return pid_; }
    // Waits until `done(stdout so far)` holds, the child ends or `timeout` passes. Returns whether
    // `done` held.
    bool wait_for_output(const std::function<bool(const std::string&)>& done, Seconds timeout);
    // Waits for the end and all its output; false when it was still running after `timeout`.
    bool wait_for_exit(Seconds timeout);
    bool running();
    // Exit status; -1 when it ended by a signal or still runs.
    int exit_status();
    // The signal that ended it; 0 when it exited by itself or still runs.
    int end_signal();
    void send_signal(int signal);
    std::string out();
    std::string err();
    void kill_now();
    // User plus system processor time used so far (from /proc), or in all once it has ended.
    double cpu_seconds();
    // Peak resident memory in KiB: VmHWM from /proc while it runs, the kernel's maximum once it
    // has ended.
    long peak_memory_kib();

  private:
    void collect(int out_fd, int err_fd);

    pid_t pid_ = -1;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    int exit_status_ = -1;
    int end_signal_ = 0;
    double cpu_at_end_ = 0;
    long peak_kib_at_end_ = 0;
    std::string out_;
    std::string err_;
    std::thread collector_;
};

// A pseudo-terminal: the program under test opens `path()` as its serial port; the test keeps the
// other end, where everything the program sends is collected by a thread.
class Pty {
  public:
    Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty();

    const std::string& path() const { return path_; }
    // Everything the program has sent so far.
    std::string received();
    // The cable is pulled: both ends the test holds are closed, the program's port hangs up.
    void hang_up();

  private:
    void drain();

    int master_ = -1;
    // Held open so that the terminal exists however often the program opens and closes it.
    int slave_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string received_;
    std::thread drainer_;
};

// r462xe-meter-sim on a pseudo-terminal of its own. Its stdout carries the device path (first
// line) and the flash verdicts; its stderr is its log of the line.
class MeterSim {
  public:
    explicit MeterSim(const std::vector<std::string>& options);

    // The device the updater opens; empty when the tool did not start.
    const std::string& path() const { return path_; }
    Child& child() { return child_; }
    std::string log() { return child_.err(); }
    // Waits for the verdict that --expect-image asks for; true when the flash equals the file.
    bool flash_matches(Seconds timeout);

  private:
    Child child_;
    std::string path_;
};

class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;

  private:
    std::string path_;
};

// Environment for the runner: no display, a runtime folder of its own, and its update history in
// `state/` of that folder.
std::map<std::string, std::string> offscreen_env(const TempDir& runtime);

// The runner's command line: only these COM numbers exist, the image lies in `folder`.
std::vector<std::string> runner_command(const std::map<int, std::string>& ports,
                                        const std::string& folder,
                                        const std::vector<std::string>& options = {});

// Occurrences of `part` in `text`, not overlapping.
std::size_t count_of(const std::string& text, const std::string& part);

}  // namespace r462xe::e2e
