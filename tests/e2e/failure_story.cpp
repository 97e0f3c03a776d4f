#include "e2e/failure_story.h"

#include <algorithm>
#include <array>
#include <exception>
#include <iomanip>
#include <sstream>
#include <vector>

#include "e2e/transcript.h"

namespace r462xe::e2e {

namespace {

// The transcript's subjects that tell why a runner is where it is, in the order printed.
constexpr std::array kTellingSubjects = {
    "COM1.item-tips", "ProgressBar1.text", "Label4.caption", "Command2.enabled",
    "msgbox",         "msgbox-details",
};

constexpr std::size_t kMeterLogLines = 12;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string how_it_stands(Child& runner) {
    if (runner.running()) return "still running";
    if (runner.end_signal() != 0) return "ended by signal " + std::to_string(runner.end_signal());
    return "exited with status " + std::to_string(runner.exit_status());
}

}  // namespace

std::string runner_story(Child& runner, MeterSim& meter) {
    std::ostringstream story;
    story << "runner: " << how_it_stands(runner) << "\n";
    const std::string err = runner.err();
    story << "runner's standard error:" << (err.empty() ? " nothing\n" : "\n" + err);

    const std::string out = runner.out();
    // Whole lines only: the runner may be writing one now.
    std::vector<TranscriptLine> transcript;
    try {
        transcript = parse_transcript(out.substr(0, out.rfind('\n') + 1));
    } catch (const std::exception&) {
    }
    story << "last of the telling lines:\n";
    for (const char* subject : kTellingSubjects) {
        const auto last =
            std::find_if(transcript.rbegin(), transcript.rend(),
                         [&](const TranscriptLine& line) { return line.subject == subject; });
        if (last != transcript.rend())
            story << "  " << std::fixed << std::setprecision(3) << last->seconds << " "
                  << last->subject << " " << last->value << "\n";
    }

    const auto log = lines_of(meter.log());
    const std::size_t from = log.size() > kMeterLogLines ? log.size() - kMeterLogLines : 0;
    story << "meter's log, its last " << log.size() - from << " lines:\n";
    for (std::size_t i = from; i < log.size(); ++i) story << "  " << log[i] << "\n";

    story << "whole transcript:\n" << out;
    return story.str();
}

}  // namespace r462xe::e2e
