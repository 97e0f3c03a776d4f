// A port picked in the list: open it and identify the meter there. The program's own selection
// while the list is rebuilt must start nothing.
#include "app/failure_styles.h"
#include "app/form1.h"

namespace r462xe {

void Form1::COM1_Click() {
    // Every selection comes here, the program's and the user's: the list's tooltip starts with
    // the selected entry's.
    show_port_tips();
    if (searching) return;
    // Each step that fails is passed over; a failed test lets the step it guards run.
    skip_on_error([&] { COM1.set_enabled(false); });
    skip_on_error([&] { Command2.set_enabled(false); });
    skip_on_error([&] { Command1.set_enabled(false); });
    skip_on_error([&] { set_value_captions(""); });
    clear_identity();
    idn_attempts = 0;
    comcheck();
    idn_attempts = 0;
    if (port_ok && !update_mode) send_idn();
    if (!idn_version.empty() || update_mode) skip_on_error([&] { Command2.set_enabled(true); });
    if (update_mode) {
        skip_on_error([&] { set_value_captions(texts::kUpdating); });
    }
    skip_on_error([&] { Command1.set_enabled(true); });
    skip_on_error([&] { COM1.set_enabled(true); });
}

}  // namespace r462xe
