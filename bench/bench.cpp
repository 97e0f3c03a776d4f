// One full run of the runner against the virtual meter in real time, measured: the search at
// start-up and the update against the fixed waits and line time they cannot go below, the
// processor time and memory it takes, and how soon the window shows. Then a bench: as many
// runners at once, each on its own cable and meter, against the one alone. Prints a Markdown
// table. Built and run by scripts/bench.sh; it shares the end-to-end tests' process helpers.
//   bench [--bare N] [--reply-delay S] [--stations K]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/runner_texts.h"
#include "e2e/transcript.h"

namespace {

using namespace r462xe::e2e;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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
    int stations = 3;  // runners at once on the bench
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--bare") {
            options.bare = std::atoi(argv[i + 1]);
        } else if (name == "--reply-delay") {
            options.reply_delay = std::atof(argv[i + 1]);
        } else if (name == "--stations") {
            options.stations = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "usage: bench [--bare N] [--reply-delay S] [--stations K]\n");
            std::exit(2);
        }
    }
    if (options.bare < 0 || options.bare >= kPortNumbers) {
        std::fprintf(stderr, "bench: --bare wants 0 to %d\n", kPortNumbers - 1);
        std::exit(2);
    }
    if (options.stations < 1 || options.stations > 16) {
        std::fprintf(stderr, "bench: --stations wants 1 to 16\n");
        std::exit(2);
    }
    return options;
}

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Why a run failed, with everything the programs said.
std::string failure(const std::string& why, Child& runner, MeterSim& meter) {
    return why + "\n--- transcript\n" + runner.out() + "--- runner\n" + runner.err() +
           "--- meter\n" + meter.log();
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// One cable at a bench: the image, a runtime folder, terminals without a meter on the first
// numbers and the virtual meter after them.
struct Station {
    explicit Station(const Options& options)
        : meter(with_image(options)), meter_port(options.bare + 1) {
        for (int number = 1; number <= options.bare; ++number) {
            bare.push_back(std::make_unique<Pty>());
            ports[number] = bare.back()->path();
        }
        ports[meter_port] = meter.path();
    }

    TempDir folder;
    TempDir runtime;
    MeterSim meter;
    std::vector<std::unique_ptr<Pty>> bare;
    std::map<int, std::string> ports;
    int meter_port;

  private:
    std::vector<std::string> with_image(const Options& options) {
        folder.write(kImageName, test_image());
        return {"--expect-image", folder.file(kImageName), "--reply-delay",
                std::to_string(options.reply_delay)};
    }
};

// What one runner's start-up and update took.
struct Run {
    Clock::time_point launched;
    Clock::time_point succeeded;
    double window_shown = 0;
    double startup_wall = 0;
    double startup_cpu = 0;
    double total_wall = 0;
    double total_cpu = 0;
    long peak_kib = 0;
    std::string transcript;
    std::string error;  // empty when the update completed
};

// Starts the runner on the station's ports and follows it to the end of its update.
Run measure(Station& station) {
    Run run;
    if (station.meter.path().empty()) {
        run.error = "the meter tool did not start\n" + station.meter.log();
        return run;
    }
    run.launched = Clock::now();
    Child runner(
        runner_command(station.ports, station.folder.path(), {"--upload", "--presses", "1"}),
        offscreen_env(station.runtime));
    const auto shows = [](const std::string& part) {
        return [part](const std::string& out) { return out.find(part) != std::string::npos; };
    };
    if (!runner.wait_for_output(shows("\n"), 30s)) {
        run.error = failure("no window", runner, station.meter);
        return run;
    }
    run.window_shown = since(run.launched);
    if (!runner.wait_for_output(shows(" Command1.enabled true\n"), 120s)) {
        run.error = failure("the search did not end", runner, station.meter);
        return run;
    }
    run.startup_wall = since(run.launched);
    run.startup_cpu = runner.cpu_seconds();
    if (!runner.wait_for_output(shows(std::string("msgbox ") + kSuccessBox), 180s)) {
        run.error = failure("no success message", runner, station.meter);
        return run;
    }
    run.succeeded = Clock::now();
    run.total_wall = since(run.launched);
    run.total_cpu = runner.cpu_seconds();
    run.peak_kib = runner.peak_memory_kib();
    runner.wait_for_exit(30s);
    if (runner.exit_status() != 0 || !station.meter.flash_matches(10s))
        run.error = failure("the update did not complete", runner, station.meter);
    run.transcript = runner.out();
    return run;
}

// The given number of stations, each runner followed on a thread of its own, all launched at
// once.
std::vector<Run> measure_at_once(const Options& options, int count) {
    std::vector<std::unique_ptr<Station>> stations;
    for (int i = 0; i < count; ++i) stations.push_back(std::make_unique<Station>(options));
    std::vector<Run> runs(static_cast<std::size_t>(count));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < runs.size(); ++i)
        threads.emplace_back([&runs, &stations, i] { runs[i] = measure(*stations[i]); });
    for (auto& thread : threads) thread.join();
    return runs;
}

bool all_completed(const std::vector<Run>& runs) {
    bool completed = true;
    for (const Run& run : runs) {
        if (run.error.empty()) continue;
        std::fprintf(stderr, "bench: %s", run.error.c_str());
        completed = false;
    }
    return completed;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    const std::vector<Run> alone_runs = measure_at_once(options, 1);
    if (!all_completed(alone_runs)) return 1;
    const Run& alone = alone_runs.front();
    const std::vector<Run> together = measure_at_once(options, options.stations);
    if (!all_completed(together)) return 1;
    const double window_shown = alone.window_shown;
    const double startup_wall = alone.startup_wall;
    const double startup_cpu = alone.startup_cpu;
    const double total_wall = alone.total_wall;
    const double total_cpu = alone.total_cpu;
    const long peak_kib = alone.peak_kib;
    const auto give_up = [](const std::string& why) {
        std::fprintf(stderr, "bench: %s\n", why.c_str());
        std::exit(1);
    };

    // The search and the update timed on the runner's own clock, from its transcript.
    const auto lines = parse_transcript(alone.transcript);
    const auto locked = find_line(lines, "Command2.enabled", "false");
    const auto searched = find_line(lines, "Command1.enabled", "true");
    const auto pressed = find_line(lines, "Command2.enabled", "false", searched.value_or(0) + 1);
    const auto done = find_line(lines, "msgbox");
    if (!locked || !searched || !pressed || !done) give_up("transcript without search or press");
    const double search = lines[*searched].seconds - lines[*locked].seconds;
    const double update = lines[*done].seconds - lines[*pressed].seconds;
    // Block to block: from block 1 going out to block 59, each after the verdict on the one before.
    const auto block_1 = find_line(lines, "ProgressBar1.value", "1", *pressed);
    const auto block_59 = find_line(lines, "ProgressBar1.value", "59", *pressed);
    if (!block_1 || !block_59) give_up("transcript without blocks 1 and 59");
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
        options.bare, options.bare + 1, kPortNumbers - present, fixed(search, 2).c_str(),
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

    // The bench: from the first launch to the last success message, against the one alone.
    Clock::time_point first_launch = together.front().launched;
    Clock::time_point last_success = together.front().succeeded;
    double cpu_sum = 0;
    double cpu_max = 0;
    double update_cpu_sum = 0;
    for (const Run& run : together) {
        first_launch = std::min(first_launch, run.launched);
        last_success = std::max(last_success, run.succeeded);
        cpu_sum += run.total_cpu;
        cpu_max = std::max(cpu_max, run.total_cpu);
        update_cpu_sum += run.total_cpu - run.startup_cpu;
    }
    const double stations = static_cast<double>(together.size());
    const double bench_wall = std::chrono::duration<double>(last_success - first_launch).count();
    std::printf(
        "| %d runners at once, each on its own meter: first launch to last success message (goal "
        "within 5 %%) | %s s | one alone %s s | %s |\n",
        options.stations, fixed(bench_wall, 2).c_str(), fixed(total_wall, 2).c_str(),
        fixed(bench_wall / total_wall, 3).c_str());
    std::printf(
        "| processor time per update (start-up + update), %d at once: mean, most | %s s, %s s | "
        "one alone %s s | %s |\n",
        options.stations, fixed(cpu_sum / stations, 2).c_str(), fixed(cpu_max, 2).c_str(),
        fixed(total_cpu, 2).c_str(), fixed(cpu_sum / stations / total_cpu, 3).c_str());
    std::printf(
        "| processor time per update (update only), %d at once: mean | %s s | one alone %s s | "
        "%s |\n",
        options.stations, fixed(update_cpu_sum / stations, 2).c_str(), fixed(update_cpu, 2).c_str(),
        fixed(update_cpu_sum / stations / update_cpu, 3).c_str());
    return 0;
}
