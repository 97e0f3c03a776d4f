// Finding the ports that can be opened, and the meter on them.
#include "app/failure_styles.h"
#include "app/form1.h"
#include "ports/search_progress_text.h"

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
    for (port_no = kFirstPortNumber; port_no <= kLastPortNumber; ++port_no) {
        ProgressBar1.set_text(opening_port_text(port_no, port_no, kLastPortNumber));
        open_check();
    }
    ProgressBar1.set_text("");
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
    const auto present = [this](int port) { return port_present[static_cast<std::size_t>(port)]; };
    int to_try = 0;
    for (int port = kFirstPortNumber; port <= kLastPortNumber; ++port) to_try += present(port);
    int tried = 0;
    for (port_no = kFirstPortNumber; port_no <= kLastPortNumber; ++port_no) {
        if (present(port_no)) {
            ProgressBar1.set_text(searching_port_text(port_no, ++tried, to_try));
            idn_attempts = 0;
            check_idn();
        }
        if (found_port != 0) break;
    }
    ProgressBar1.set_text("");
}

}  // namespace r462xe
