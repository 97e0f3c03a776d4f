#include "e2e/failure_story.h"

#include <array>
#include <map>
#include <sstream>
#include <string_view>
#include <vector>

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

// The subject of a transcript line "<seconds> <subject> <value>"; empty for any other line.
std::string_view subject_of(std::string_view line) {
    const auto first = line.find(' ');
    if (first == std::string_view::npos) return {};
    const auto second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return {};
    return line.substr(first + 1, second - first - 1);
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
    std::map<std::string_view, std::string> last;
    const auto transcript = lines_of(out);
    for (const auto& line : transcript) last[subject_of(line)] = line;
    story << "last of the telling lines:\n";
    for (const char* subject : kTellingSubjects)
        if (const auto found = last.find(subject); found != last.end())
            story << "  " << found->second << "\n";

    const auto log = lines_of(meter.log());
    const std::size_t from = log.size() > kMeterLogLines ? log.size() - kMeterLogLines : 0;
    story << "meter's log, its last " << log.size() - from << " lines:\n";
    for (std::size_t i = from; i < log.size(); ++i) story << "  " << log[i] << "\n";

    story << "whole transcript:\n" << out;
    return story.str();
}

}  // namespace r462xe::e2e
