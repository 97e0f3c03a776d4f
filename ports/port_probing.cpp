// Finding the ports that can be opened, and the meter on them.
#include "app/failure_styles.h"
#include "app/form1.h"

namespace r462xe {

namespace {
constexpr double kProbeStepWait = 0.1;
}

void Form1::select_comport() {
    forget_port_findings();
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        port_serial[static_cast<std::size_t>(n)].clear();
        port_present[static_cast<std::size_t>(n)] = false;
    }
    for (port_no = kFirstPortNumber; port_no <= kLastPortNumber; ++port_no) open_check();
}

void Form1::open_check() {
    auto& present = port_present[static_cast<std::size_t>(port_no)];
    present = false;
    // Any failure ends the probe at once: the port counts as absent.
    try {
        if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
        wait_seconds(kProbeStepWait);
        if (MSComm1.PortOpen()) return;
        MSComm1.set_CommPort(port_no);
        MSComm1.set_Settings(comm_settings);
        wait_seconds(kProbeStepWait);
        if (!MSComm1.PortOpen()) open_port_noting_why();
        wait_seconds(kProbeStepWait);
        if (MSComm1.PortOpen()) {
            present = true;
            note_port_finding(PortFindingKind::Opened);
        }
    } catch (const std::exception&) {
    }
}

void Form1::check_comport() {
    found_port = 0;
    for (port_no = kFirstPortNumber; port_no <= kLastPortNumber; ++port_no) {
        if (port_present[static_cast<std::size_t>(port_no)]) {
            idn_attempts = 0;
            check_idn();
        }
        if (found_port != 0) break;
    }
}

}  // namespace r462xe
