// Keeping what each look at a port found, so that a message without a meter can say why: the
// opens, the identifications and the port failures note it here as they happen, and the port
// list's tooltips follow each note. An open that fails for another reason than a missing device
// also goes to the error log, once per port and search, since the start-up search shows no
// message.
#include "app/form1.h"

namespace r462xe {

void Form1::forget_port_findings() {
    port_findings = {};
    open_failure_told_ = {};
    show_port_tips();
}

void Form1::set_port_finding(int port, const PortFinding& finding) {
    port_findings[static_cast<std::size_t>(port)] = finding;
    show_port_tips();
}

void Form1::open_port_noting_why() {
    try {
        MSComm1.set_PortOpen(true);
    } catch (const PortError& error) {
        const int port = MSComm1.CommPort();
        PortFinding finding = open_failure_finding(error.trouble);
        if (finding.trouble.device.empty()) finding.trouble.device = MSComm1.device_of(port);
        if (finding.trouble.system_text.empty()) finding.trouble.system_text = error.what();
        set_port_finding(port, finding);
        auto& told = open_failure_told_[static_cast<std::size_t>(port)];
        if (finding.kind != PortFindingKind::None && !told) {
            told = true;
            error_log.write_line(port_finding_line(port, finding));
        }
        throw;
    }
}

void Form1::note_port_finding(PortFindingKind kind, const std::string& answer) {
    const int port = MSComm1.CommPort();
    set_port_finding(
        port, PortFinding{
                  .kind = kind, .trouble = {.device = MSComm1.device_of(port)}, .answer = answer});
}

void Form1::note_reply(const std::string& reply) {
    // A port that did not open has its reason noted already.
    if (!MSComm1.PortOpen()) return;
    note_port_finding(reply.empty() ? PortFindingKind::Silent : PortFindingKind::OtherAnswer,
                      reply);
}

void Form1::note_exchange_failure(const PortError& error) {
    // A failure with the port closed happened on the way to the open, which notes its own reason.
    if (!MSComm1.PortOpen()) return;
    const int port = MSComm1.CommPort();
    PortTrouble trouble = error.trouble;
    if (trouble.device.empty()) trouble.device = MSComm1.device_of(port);
    if (trouble.system_text.empty()) trouble.system_text = error.what();
    set_port_finding(port, PortFinding{.kind = PortFindingKind::PortFailed, .trouble = trouble});
}

}  // namespace r462xe
