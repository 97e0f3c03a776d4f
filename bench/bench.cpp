// One full run of the runner against the virtual meter in real time, measured: the search at
// start-up and the update against the fixed waits and line time they cannot go below, the
// processor time and memory it takes, and how soon the window shows. Prints a Markdown table.
// Built and run by scripts/bench.sh; it shares the end-to-end tests' process helpers.
//   bench [--bare N] [--reply-delay S]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/process.h"
#include "e2e/transcript.h"

namespace {

using namespace r462xe::e2e;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kImageName = "R462XE_V307_20200521.QF";
constexpr const char* kSuccessBox =
    "msgbox \"Firmware Update\" \"Firmware Update was completed successfully.\"";
constexpr int kPortNumbers = 16;

// The waits the search makes per COM number: the probe of one that cannot be opened (two waits
// of 0.1 s) or can (three); the identification of a terminal where nothing answers (its probe
// of 4.6 s and three queries of 2.7 s) or where the meter answers the first query.
constexpr double kProbeAbsent = 0.2;
constexpr double kProbePresent = 0.3;
constexpr double kIdentifyNoMeter = 4.6 + 3 * 2.7;
constexpr double kIdentifyMeter = 4.6 + 2.7;

// The update's own waits: after the unmasked and the masked "UPGR 1", after "UPGR 0".
constexpr double kEnterWaits = 9.0 + 3.0;
constexpr double kLeaveWait = 10.0;
// The identification after "UPGR 0": one full attempt, probe (0.1 + 1.0 + 0.2 + 1.0) and query
// (1.0 + 0.2 + 1.0). The press itself makes none, the meter having been identified at start-up.
constexpr double kIdentifyAfter = 2.3 + 2.2;
// 60 block frames of 1026 bytes at 19200 baud, 10 bits a byte; each verdict is 1 byte.
constexpr int kBlocks = 60;
constexpr double kFrameBytes = 1026;
constexpr double kByteSeconds = 10.0 / 19200.0;
// The timer looks for each verdict at most one tick late.
constexpr double kTickSeconds = 0.1;

struct Options {
    int bare = 2;
    double reply_delay = 0.005;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--bare") {
            options.bare = std::atoi(argv[i + 1]);
        } else if (name == "--reply-delay") {
            options.reply_delay = std::atof(argv[i + 1]);
        } else {
            std::fprintf(stderr, "usage: bench [--bare N] [--reply-delay S]\n");
            std::exit(2);
        }
    }
    if (options.bare < 0 || options.bare >= kPortNumbers) {
        std::fprintf(stderr, "bench: --bare wants 0 to %d\n", kPortNumbers - 1);
        std::exit(2);
    }
    return options;
}

std::string image() {
    std::string bytes(61440, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 13 + 5) % 253);
    return bytes;
}

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void give_up(const std::string& why, Child& runner, MeterSim& meter) {
    std::fprintf(stderr, "bench: %s\n--- transcript\n%s--- runner\n%s--- meter\n%s", why.c_str(),
                 runner.out().c_str(), runner.err().c_str(), meter.log().c_str());
    std::exit(1);
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    TempDir folder;
    TempDir runtime;
    folder.write(kImageName, image());
    MeterSim meter({"--expect-image", folder.file(kImageName), "--reply-delay",
                    std::to_string(options.reply_delay)});
    if (meter.path().empty()) {
        std::fprintf(stderr, "bench: the meter tool did not start\n%s", meter.log().c_str());
        return 1;
    }
    std::vector<std::unique_ptr<Pty>> bare;
    std::map<int, std::string> ports;
    for (int number = 1; number <= options.bare; ++number) {
        bare.push_back(std::make_unique<Pty>());
        ports[number] = bare.back()->path();
    }
    const int meter_port = options.bare + 1;
    ports[meter_port] = meter.path();

    const auto launched = Clock::now();
    Child runner(runner_command(ports, folder.path(), {"--upload", "--presses", "1"}),
                 offscreen_env(runtime));
    const auto shows = [](const std::string& part) {
        return [part](const std::string& out) { return out.find(part) != std::string::npos; };
    };
    if (!runner.wait_for_output(shows("\n"), 30s)) give_up("no window", runner, meter);
    const double window_shown = since(launched);
    if (!runner.wait_for_output(shows(" Command1.enabled true\n"), 120s))
        give_up("the search did not end", runner, meter);
    const double startup_wall = since(launched);
    const double startup_cpu = runner.cpu_seconds();
    if (!runner.wait_for_output(shows(kSuccessBox), 180s))
        give_up("no success message", runner, meter);
    const double total_wall = since(launched);
    const double total_cpu = runner.cpu_seconds();
    const long peak_kib = runner.peak_memory_kib();
    runner.wait_for_exit(30s);
    if (runner.exit_status() != 0 || !meter.flash_matches(10s))
        give_up("the update did not complete", runner, meter);

    // The search and the update timed on the runner's own clock, from its transcript.
    const auto lines = parse_transcript(runner.out());
    const auto locked = find_line(lines, "Command2.enabled", "false");
    const auto searched = find_line(lines, "Command1.enabled", "true");
    const auto pressed = find_line(lines, "Command2.enabled", "false", searched.value_or(0) + 1);
    const auto done = find_line(lines, "msgbox");
    if (!locked || !searched || !pressed || !done)
        give_up("transcript without search or press", runner, meter);
    const double search = lines[*searched].seconds - lines[*locked].seconds;
    const double update = lines[*done].seconds - lines[*pressed].seconds;
    // Block to block: from block 1 going out to block 59, each after the verdict on the one before.
    const auto block_1 = find_line(lines, "ProgressBar1.value", "1", *pressed);
    const auto block_59 = find_line(lines, "ProgressBar1.value", "59", *pressed);
    if (!block_1 || !block_59) give_up("transcript without blocks 1 and 59", runner, meter);
    const double block_period = (lines[*block_59].seconds - lines[*block_1].seconds) / 58;

    const int present = options.bare + 1;
    const double search_floor = (kPortNumbers - present) * kProbeAbsent + present * kProbePresent +
                                options.bare * kIdentifyNoMeter + kIdentifyMeter;
    const double line_time = kBlocks * kFrameBytes * kByteSeconds;
    const double reply_time = kBlocks * (options.reply_delay + kByteSeconds);
    const double update_floor = kEnterWaits + kLeaveWait + kIdentifyAfter + line_time + reply_time;
    const double update_ticks = update_floor + kBlocks * kTickSeconds;
    const double update_cpu = total_cpu - startup_cpu;
    const double update_wall = total_wall - startup_wall;

    std::printf("| figure | measured | reference | ratio |\n| --- | ---: | ---: | ---: |\n");
    std::printf(
        "| update, press to success message | %s s | floor %s s: waits %s + identification "
        "%s + line %s + meter replies %s | %s |\n",
        fixed(update, 2).c_str(), fixed(update_floor, 2).c_str(),
        fixed(kEnterWaits + kLeaveWait, 1).c_str(), fixed(kIdentifyAfter, 1).c_str(),
        fixed(line_time, 2).c_str(), fixed(reply_time, 2).c_str(),
        fixed(update / update_floor, 3).c_str());
    std::printf("| update, against the floor plus one 100 ms tick per block | %s s | %s s | %s |\n",
                fixed(update, 2).c_str(), fixed(update_ticks, 2).c_str(),
                fixed(update / update_ticks, 3).c_str());
    const double block_floor = (kFrameBytes + 1) * kByteSeconds + options.reply_delay;
    std::printf(
        "| one block, block to block | %s s | frame, verdict and reply delay %s s; plus a tick "
        "%s s | %s; %s |\n",
        fixed(block_period, 3).c_str(), fixed(block_floor, 3).c_str(),
        fixed(block_floor + kTickSeconds, 3).c_str(), fixed(block_period / block_floor, 3).c_str(),
        fixed(block_period / (block_floor + kTickSeconds), 3).c_str());
    std::printf(
        "| search of COM1 to COM16: %d terminal(s) without meter, the meter on COM%d, %d numbers "
        "absent | %s s | waits %s s | %s |\n",
        options.bare, meter_port, kPortNumbers - present, fixed(search, 2).c_str(),
        fixed(search_floor, 2).c_str(), fixed(search / search_floor, 3).c_str());
    std::printf(
        "| processor time, start-up + update (target < 1 %%) | %s s | wall %s s | %s %% |\n",
        fixed(total_cpu, 2).c_str(), fixed(total_wall, 1).c_str(),
        fixed(100 * total_cpu / total_wall, 2).c_str());
    std::printf("| processor time, start-up only | %s s | wall %s s | %s %% |\n",
                fixed(startup_cpu, 2).c_str(), fixed(startup_wall, 1).c_str(),
                fixed(100 * startup_cpu / startup_wall, 2).c_str());
    std::printf("| processor time, update only | %s s | wall %s s | %s %% |\n",
                fixed(update_cpu, 2).c_str(), fixed(update_wall, 1).c_str(),
                fixed(100 * update_cpu / update_wall, 2).c_str());
    std::printf("| start-up to shown window (first transcript line) | %s s | | |\n",
                fixed(window_shown, 3).c_str());
    std::printf("| peak memory (VmHWM at the success message) | %s MiB | | |\n",
                fixed(static_cast<double>(peak_kib) / 1024, 1).c_str());
    return 0;
}
