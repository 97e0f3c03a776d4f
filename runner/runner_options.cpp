#include "runner/runner_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "app/program_version.h"
#include "serial/port_numbers.h"

namespace r462xe::runner {

namespace {

constexpr double kLongestAnswerSeconds = 3600;

enum class Option { help, version, port, folder, upload, presses, answer_after, stay, record };

struct OptionName {
    std::string_view name;  // one letter: after "-", among others; longer: after "--"
    Option option;
    bool takes_value;
};

constexpr std::array kOptionNames{
    OptionName{"h", Option::help, false},
    OptionName{"help", Option::help, false},
    OptionName{"v", Option::version, false},
    OptionName{"version", Option::version, false},
    OptionName{"port", Option::port, true},
    OptionName{"folder", Option::folder, true},
    OptionName{"upload", Option::upload, false},
    OptionName{"presses", Option::presses, true},
    OptionName{"answer-after", Option::answer_after, true},
    OptionName{"stay", Option::stay, false},
    OptionName{"record", Option::record, true},
};

// Letters run together after one "-" ("-hv") are read as flags; a one-letter option with a value
// would need the rules for "-fDIR" as well.
static_assert(std::ranges::none_of(kOptionNames, [](const OptionName& name) {
    return name.name.size() == 1 && name.takes_value;
}));

// The text after the usage line; the option lines are laid out as Qt's parser laid them out.
constexpr std::string_view kUsageBody =
    "The firmware updater's window, run unattended: every change of the window is\n"
    "printed as one line on standard output. The exit status is 0 when an update\n"
    "succeeded, 1 when none did or none was asked for, 2 for bad arguments.\n"
    "\n"
    "Options:\n"
    "  -h, --help          Displays help on commandline options.\n"
    "  -v, --version       Displays version information.\n"
    "  --port <N=DEVICE>   COMN is DEVICE; when any is given, only the given COM\n"
    "                      numbers exist (N from 1 to 16; repeat for more ports).\n"
    "  --folder <DIR>      The program's folder, where the firmware image lies\n"
    "                      (default: the runner's own folder).\n"
    "  --upload            After start-up press \"Upload Firmware\" until an update\n"
    "                      succeeds.\n"
    "  --presses <K>       With --upload: at most K presses (default 3).\n"
    "  --answer-after <S>  Message boxes answer themselves after S seconds (0 to\n"
    "                      3600; default 0.5).\n"
    "  --stay              Keep the window open after start-up and after the\n"
    "                      presses, until it is closed.\n"
    "  --record <FILE>     Write every byte that crosses the port, both ways, with\n"
    "                      its time and line speed, to FILE (it holds the meter's\n"
    "                      serial number).\n";

const OptionName* find_option(std::string_view name) {
    const auto found = std::ranges::find(kOptionNames, name, &OptionName::name);
    return found == kOptionNames.end() ? nullptr : &*found;
}

// The command line taken apart: the options given with their values, the other arguments, and
// what was wrong with it.
class CommandLineReading {
  public:
    explicit CommandLineReading(const std::vector<std::string>& arguments) : arguments_(arguments) {
        bool only_arguments = false;  // after "--"
        for (next_ = 0; next_ < arguments_.size(); ++next_) {
            const std::string& argument = arguments_[next_];
            if (only_arguments || argument.size() < 2 || argument[0] != '-') {
                positional.push_back(argument);
            } else if (argument == "--") {
                only_arguments = true;
            } else if (argument[1] == '-') {
                read_long(argument);
            } else {
                read_letters(argument);
            }
        }
    }

    // Why the command line cannot be read; empty when it can. A missing or unwanted value is told
    // before unknown options, the last one found.
    std::string error() const {
        if (!value_error_.empty()) return value_error_;
        if (unknown_.size() == 1) return "Unknown option '" + unknown_.front() + "'.";
        if (unknown_.empty()) return {};
        std::string names;
        for (const std::string& name : unknown_) names += (names.empty() ? "" : ", ") + name;
        return "Unknown options: " + names + ".";
    }

    bool given(Option option) const { return values_.contains(option); }
    // Every value given to the option, in order.
    const std::vector<std::string>& values(Option option) const { return values_.at(option); }
    // The value given last: a later one overrides an earlier one.
    const std::string& value(Option option) const { return values(option).back(); }

    std::vector<std::string> positional;

  private:
    // "--name", "--name=value" or "--name value".
    void read_long(const std::string& argument) {
        const std::string name = argument.substr(2, argument.find('=') - 2);
        if (const OptionName* option = find_option(name)) {
            values_[option->option];
            read_value(*option, argument);
        } else {
            unknown_.push_back(name);
        }
    }

    // "-hv": one-letter options run together. A "=" ends them, and the last one read may not
    // take it as a value.
    void read_letters(const std::string& argument) {
        const OptionName* last = nullptr;
        for (std::size_t at = 1; at < argument.size(); ++at) {
            last = find_option(argument.substr(at, 1));
            if (!last) {
                unknown_.push_back(argument.substr(at, 1));
                continue;
            }
            values_[last->option];
            if (at + 1 < argument.size() && argument[at + 1] == '=') break;
        }
        if (last) read_value(*last, argument);
    }

    void read_value(const OptionName& option, const std::string& argument) {
        const auto equals = argument.find('=');
        if (!option.takes_value) {
            if (equals != std::string::npos)
                value_error_ = "Unexpected value after '" + argument.substr(0, equals) + "'.";
        } else if (equals != std::string::npos) {
            values_[option.option].push_back(argument.substr(equals + 1));
        } else if (next_ + 1 < arguments_.size()) {
            values_[option.option].push_back(arguments_[++next_]);
        } else {
            value_error_ = "Missing value after '" + argument + "'.";
        }
    }

    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
    std::map<Option, std::vector<std::string>> values_;
    std::vector<std::string> unknown_;
    std::string value_error_;
};

// A whole number in decimal digits, with a "-" but no "+" and no blanks around it.
std::optional<int> whole_number(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

// Seconds, 0 or more, as a decimal number with an optional exponent ("0.5", "2", "1e1", ".5").
// A number too small to tell from 0 is refused, as one too large is.
std::optional<double> seconds(const std::string& text) {
    std::string_view number = text;
    if (number.starts_with('+')) {
        number.remove_prefix(1);
        if (number.starts_with('-')) return std::nullopt;
    }
    double value = 0;
    const char* end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc{} || stop != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

// The --port values: COM number and device, each number once, within COM1 to COM16.
std::optional<std::string> read_ports(const std::vector<std::string>& values,
                                      std::map<int, std::string>& ports) {
    for (const std::string& value : values) {
        const auto equals = value.find('=');
        if (equals == std::string::npos) return "--port wants N=DEVICE, got " + value;
        const auto number = whole_number(value.substr(0, equals));
        const std::string device = value.substr(equals + 1);
        if (!number || *number < kFirstPortNumber || *number > kLastPortNumber)
            return "--port: the port number must be 1 to 16, got " + value;
        if (device.find_first_not_of(" \t") == std::string::npos)
            return "--port: no device in " + value;
        if (ports.contains(*number))
            return "--port: COM" + std::to_string(*number) + " given twice";
        ports[*number] = device;
    }
    return std::nullopt;
}

}  // namespace

ParseResult parse_options(const std::vector<std::string>& arguments) {
    const CommandLineReading reading(arguments);
    ParseResult result;
    const auto fail = [&result](std::string reason) {
        result.outcome = ParseResult::Outcome::Error;
        result.error = std::move(reason);
        return result;
    };
    if (std::string error = reading.error(); !error.empty()) return fail(std::move(error));
    if (reading.given(Option::help)) {
        result.outcome = ParseResult::Outcome::Help;
        return result;
    }
    if (reading.given(Option::version)) {
        result.outcome = ParseResult::Outcome::Version;
        return result;
    }
    if (!reading.positional.empty())
        return fail("Unexpected argument '" + reading.positional.front() + "'.");

    Options& options = result.options;
    if (reading.given(Option::port)) {
        if (const auto error = read_ports(reading.values(Option::port), options.ports))
            return fail(*error);
    }
    if (reading.given(Option::folder)) {
        const std::string& folder = reading.value(Option::folder);
        if (folder.empty()) return fail("--folder: empty folder");
        options.folder = folder;
    }
    if (reading.given(Option::presses)) {
        const std::string& presses = reading.value(Option::presses);
        const auto number = whole_number(presses);
        if (!number || *number < 1 || *number > 1000)
            return fail("--presses wants a count of 1 or more, got " + presses);
        options.presses = *number;
    }
    if (reading.given(Option::answer_after)) {
        const std::string& answer_after = reading.value(Option::answer_after);
        const auto parsed = seconds(answer_after);
        // An hour is longer than anyone waits at a bench; more is a mistyped number.
        if (!parsed || *parsed > kLongestAnswerSeconds)
            return fail("--answer-after wants seconds from 0 to 3600, got " + answer_after);
        options.answer_after = *parsed;
    }
    options.upload = reading.given(Option::upload);
    options.stay = reading.given(Option::stay);
    if (reading.given(Option::record)) {
        const std::string& record = reading.value(Option::record);
        if (record.empty()) return fail("--record: empty file name");
        options.record = record;
    }
    return result;
}

std::string usage(const std::string& program) {
    return "Usage: " + program + " [options]\n" + std::string(kUsageBody);
}

std::string version(const std::string& program) {
    return program + " " + std::string(version_number()) + "\n";
}

std::string_view version_number() {
    return kProgramVersion;
}

}  // namespace r462xe::runner
