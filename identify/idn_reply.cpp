#include "identify/idn_reply.h"

#include <vector>

#include "text/comma_fields.h"

namespace r462xe {

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool maker_accepted(const std::string& maker) {
    return contains(maker, "Fenwary") || contains(maker, "Marelind");
}

bool model_accepted(const std::string& model) {
    return contains(model, "R462") && contains(model, "E");
}

IdnFields fields_of(const std::vector<std::string>& fields) {
    return {fields[0], fields[1], fields[2], fields[3]};
}

}  // namespace

IdnReading read_idn_reply(const std::string& rx_text) {
    if (rx_text.empty()) return {IdnVerdict::FailedAttempt, {}};

    // The reply must end with its only line feed, or with that line feed and one XON.
    const std::size_t n = rx_text.size();
    const std::size_t first_lf = rx_text.find('\n');
    const std::size_t p = first_lf == std::string::npos ? 0 : first_lf + 1;  // 1-based, 0: none
    std::size_t drop = 0;
    if (n == p) {
        drop = 2;
    } else if (n == p + 1 && rx_text.back() == kXon) {
        drop = 3;
    } else {
        return {IdnVerdict::FailedAttempt, {}};
    }
    if (drop > n) return {IdnVerdict::EndSilently, {}};
    const std::string text = rx_text.substr(0, n - drop);

    if (!contains(text, ",")) {
        return {contains(text, "*E") ? IdnVerdict::QuickRepeat : IdnVerdict::FailedAttempt, {}};
    }
    const auto fields = split_at_commas(text);
    if (fields.size() != 4) return {IdnVerdict::FailedAttempt, {}};
    if (!maker_accepted(fields[0])) return {IdnVerdict::QuickRepeat, {}};
    if (!model_accepted(fields[1])) return {IdnVerdict::OtherMeter, {}};
    return {IdnVerdict::Identified, fields_of(fields)};
}

SearchIdnReading read_search_idn_reply(const std::string& rx_text) {
    if (rx_text.size() < 2) return {};
    const std::string text = rx_text.substr(0, rx_text.size() - 2);
    if (!contains(text, ",")) return {};
    const auto fields = split_at_commas(text);
    if (fields.size() != 4 || !maker_accepted(fields[0]) || !model_accepted(fields[1])) return {};
    return {true, fields_of(fields)};
}

bool probe_answer_says_update_mode(const std::string& rx_text) {
    return contains(rx_text, "1");
}

}  // namespace r462xe
