// Reading the meter's answers to the identification exchange. The two exchanges cut the reply's
// line end differently: the port choice's exchange insists on a proper line end, the search's
// exchange drops the last two characters whatever they are.
#pragma once

#include <string>

namespace r462xe {

// "*IDN?" with carriage return and line feed.
inline constexpr const char* kIdnQuery = "*IDN?\r\n";
// The update-mode probe: line feeds that a meter in update mode takes for a block frame.
inline constexpr int kProbeLineFeeds = 1028;
inline constexpr char kXon = 0x11;

struct IdnFields {
    std::string maker;
    std::string model;
    std::string serial;
    std::string version;
    bool operator==(const IdnFields&) const = default;
};

// The identification exchange at the chosen port.
enum class IdnVerdict {
    Identified,     // a meter of the family: the fields are filled
    OtherMeter,     // an accepted maker with a model of another family
    QuickRepeat,    // a recognised but unusable answer: ask again without the probe
    FailedAttempt,  // nothing usable: try again from the probe
    EndSilently,    // the line end cannot be cut: the exchange ends without a word
};

struct IdnReading {
    IdnVerdict verdict;
    IdnFields fields;  // set when Identified
};

IdnReading read_idn_reply(const std::string& rx_text);

// The identification during the port search: a meter of the family, or a failed attempt.
struct SearchIdnReading {
    bool identified = false;
    IdnFields fields;  // set when identified
};

SearchIdnReading read_search_idn_reply(const std::string& rx_text);

// The probe's answer, already unmasked, tells of a meter in update mode.
bool probe_answer_says_update_mode(const std::string& rx_text);

}  // namespace r462xe
