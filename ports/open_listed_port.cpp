// Opening the port that the port list names.
#include "app/failure_styles.h"
#include "app/form1.h"
#include "ports/port_list_text.h"
#include "ui/palette.h"

namespace r462xe {

void Form1::comcheck() {
    // Each step that fails is passed over; a failed open-test lets the step it guards run.
    port_ok = false;
    skip_on_error([&] { Label2.set_fore_colour(kPaletteLightRed); });
    skip_on_error([&] {
        if (true_on_error([&] { return MSComm1.PortOpen(); })) MSComm1.set_PortOpen(false);
    });
    skip_on_error([&] { MSComm1.set_CommPort(port_number_from_list_text(COM1.text())); });
    skip_on_error([&] { MSComm1.set_Settings(comm_settings); });
    skip_on_error([&] {
        if (true_on_error([&] { return !MSComm1.PortOpen(); })) open_port_noting_why();
    });
    skip_on_error([&] { MSComm1.set_Handshaking(0); });
    skip_on_error([&] {
        if (true_on_error([&] { return MSComm1.PortOpen(); })) {
            Label2.set_fore_colour(kPaletteLightBlue);
            port_ok = true;
        }
    });
}

void Form1::error_open_check() {
    // Reopens the port with the settings it has; the first failure ends it.
    try {
        if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
        MSComm1.set_CommPort(port_number_from_list_text(COM1.text()));
        if (!MSComm1.PortOpen()) open_port_noting_why();
        if (MSComm1.PortOpen() && update_mode) Label2.set_fore_colour(kPaletteBlack);
    } catch (const std::exception&) {
    }
}

}  // namespace r462xe
