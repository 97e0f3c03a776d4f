// The eligibility check, with its message for a meter that may not be updated.
#include "identify/eligibility.h"

#include "app/form1.h"

namespace r462xe {

namespace {

constexpr const char* kIncompatibleText =
    "Incompatible Hardware: Firmware upgrade is not supported.";
constexpr const char* kIncompatibleTitle = "Information";

}  // namespace

bool Form1::isFWUpdateSupported(const std::string& model, const std::string& sn) {
    if (sn.empty() || model.empty()) return false;
    const bool supported = model_and_serial_eligible(model, sn);
    if (!supported) messages.show(kIncompatibleText, kIncompatibleTitle, MsgIcon::Exclamation);
    return supported;
}

}  // namespace r462xe
