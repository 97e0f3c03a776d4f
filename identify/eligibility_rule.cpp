// Only the three supported models qualify, each from its own serial number on.
#include <array>

#include "identify/eligibility_rule.h"
#include "identify/serial_value.h"

namespace r462xe {

namespace {

struct EligibleModel {
    const char* model;
    double serial_above;  // the serial value must be strictly greater
};

// Not in model order: the second model has the highest threshold.
constexpr std::array<EligibleModel, 3> kEligibleModels = {{
    {"R4621E", 55'200'000},
    {"R4622E", 55'240'000},
    {"R4623E", 55'220'000},
}};

}  // namespace

bool model_and_serial_eligible(const std::string& model, const std::string& sn) {
    for (const auto& eligible : kEligibleModels) {
        if (model == eligible.model) return serial_value(sn) > eligible.serial_above;
    }
    return false;
}

std::string eligible_meters_text() {
    std::string text;
    for (const auto& eligible : kEligibleModels) {
        if (!text.empty()) text += ", ";
        text += std::string(eligible.model) + " above serial number " +
                std::to_string(static_cast<long long>(eligible.serial_above));
    }
    return text;
}

}  // namespace r462xe
