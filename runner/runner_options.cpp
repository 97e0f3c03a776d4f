#include "runner/runner_options.h"

#include <charconv>
#include <cmath>

#include "serial/port_numbers.h"

namespace r462xe::runner {

namespace {

std::optional<long> whole_number(const std::string& text) {
    long value = 0;
    const auto* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end) return std::nullopt;
    return value;
}

std::optional<double> seconds(const std::string& text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

}  // namespace

ParseResult parse_options(const std::vector<std::string>& arguments) {
    Options options;
    auto fail = [](std::string error) { return ParseResult{std::nullopt, std::move(error)}; };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const bool takes_value = option == "--port" || option == "--folder" ||
                                 option == "--presses" || option == "--answer-after";
        if (takes_value && i + 1 >= arguments.size()) return fail(option + " needs a value");
        const std::string value = takes_value ? arguments[++i] : std::string();
        if (option == "--port") {
            const auto equals = value.find('=');
            if (equals == std::string::npos) return fail("--port wants N=DEVICE, got " + value);
            const auto number = whole_number(value.substr(0, equals));
            const std::string device = value.substr(equals + 1);
            if (!number || *number < kFirstPortNumber || *number > kLastPortNumber)
                return fail("--port: the port number must be 1 to 16, got " + value);
            if (device.empty()) return fail("--port: no device in " + value);
            if (options.ports.contains(static_cast<int>(*number)))
                return fail("--port: COM" + std::to_string(*number) + " given twice");
            options.ports[static_cast<int>(*number)] = device;
        } else if (option == "--folder") {
            if (value.empty()) return fail("--folder: empty folder");
            options.folder = value;
        } else if (option == "--presses") {
            const auto number = whole_number(value);
            if (!number || *number < 1 || *number > 1000)
                return fail("--presses wants a count of 1 or more, got " + value);
            options.presses = static_cast<int>(*number);
        } else if (option == "--answer-after") {
            const auto parsed = seconds(value);
            if (!parsed) return fail("--answer-after wants seconds (0 or more), got " + value);
            options.answer_after = *parsed;
        } else if (option == "--upload") {
            options.upload = true;
        } else if (option == "--stay") {
            options.stay = true;
        } else {
            return fail("unknown option " + option);
        }
    }
    return ParseResult{options, {}};
}

}  // namespace r462xe::runner
