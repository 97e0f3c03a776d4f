// "Auto Search COM Port": the port search again, the list rebuilt, the meter identified.
#include "app/form1.h"

namespace r462xe {

namespace {
constexpr const char* kNoMeterText = "Please ensure connection and the meter is turned on.";
constexpr const char* kNoMeterTitle = "Can't find the meter";
}  // namespace

void Form1::Command1_Click() {
    set_value_captions(texts::kSearching);
    Command1.set_enabled(false);
    COM1.set_enabled(false);
    Command2.set_enabled(false);
    select_comport();
    check_comport();

    searching = true;
    rebuild_port_list();
    searching = false;

    // The port the search has just let go of may refuse the first open: one more try at once.
    comcheck();
    if (!port_ok) comcheck();
    if (port_ok) {
        idn_attempts = 0;
        send_idn();
        enable_upload_if_eligible();
    }
    COM1.set_enabled(true);
    Command1.set_enabled(true);
    if (Label4.caption().empty())
        show_failure(kNoMeterText, kNoMeterTitle, MsgIcon::Critical,
                     no_meter_details(port_findings));
}

}  // namespace r462xe
