#include "serial/line_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

#include "text/comma_fields.h"

namespace r462xe {

namespace {

std::optional<int> whole_number(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<LineSettings> parse_settings(const std::string& text) {
    const auto fields = split_at_commas(text);
    if (fields.size() != 4) return std::nullopt;

    LineSettings settings;
    const auto baud = whole_number(fields[0]);
    if (!baud || *baud < 50 || *baud > 4000000) return std::nullopt;
    settings.baud = *baud;

    if (fields[1].size() != 1) return std::nullopt;
    settings.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(fields[1][0])));
    if (std::string_view("neoms").find(settings.parity) == std::string_view::npos) {
        return std::nullopt;
    }

    const auto data_bits = whole_number(fields[2]);
    if (!data_bits || *data_bits < 4 || *data_bits > 8) return std::nullopt;
    settings.data_bits = *data_bits;

    const std::vector<std::string> stop_bits = {"1", "1.5", "2"};
    if (std::find(stop_bits.begin(), stop_bits.end(), fields[3]) == stop_bits.end()) {
        return std::nullopt;
    }
    settings.stop_bits = fields[3];
    return settings;
}

}  // namespace r462xe
