// The eligibility check, with its message for a meter that may not be updated.
#include "identify/eligibility_rule.h"

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
    if (!supported) {
        show_failure(kIncompatibleText, kIncompatibleTitle, MsgIcon::Exclamation,
                     "The meter is an " + model + " with serial number " + sn +
                         ". This firmware is only for the " + eligible_meters_text() +
                         ". Nothing was sent to the meter.\n");
    }
    return supported;
}

// After a search: "Upload Firmware" for an identified meter that may be updated. A meter in its
// update mode has no model or serial number to check, so it is not offered here.
void Form1::enable_upload_if_eligible() {
    if (idn_version.empty() && !update_mode) return;
    if (isFWUpdateSupported(idn_model, idn_serial)) Command2.set_enabled(true);
}

}  // namespace r462xe
