// What the last look at each port found, and how the window tells it: why a port gave no meter,
// in the details of the no-meter messages, on standard error and in the port list's tooltips.
#pragma once

#include <array>
#include <string>

#include "serial/port_numbers.h"
#include "serial/port_trouble.h"

namespace r462xe {

enum class PortFindingKind {
    None,         // not looked at since the search began, or its device is absent
    NoRight,      // could not be opened: the user may not
    Held,         // could not be opened: another program holds it
    OpenFailed,   // could not be opened, for another reason
    Opened,       // opened; not asked for a meter
    Silent,       // opened, but nothing answered
    OtherAnswer,  // something answered that is not a meter of the family
    PortFailed,   // the port failed while the meter was asked
    Meter,        // a meter of the family answered
    UpdateMode,   // a meter in its update mode answered
};

struct PortFinding {
    PortFindingKind kind = PortFindingKind::None;
    PortTrouble trouble;   // the device always; for a failure, the system's words
    std::string answer{};  // OtherAnswer: what came back; Meter: its serial number
};

// Per port 1 to 16; index 0 unused.
using PortFindings = std::array<PortFinding, kLastPortNumber + 1>;

// What a failed open found: kind None for a device that is not there, which needs no word.
PortFinding open_failure_finding(const PortTrouble& trouble);

// Why the port gave what it gave, and what to do, as a sentence or two.
std::string port_finding_text(const PortFinding& finding);

// "COM3 (/dev/ttyUSB0): " and the text.
std::string port_finding_line(int port, const PortFinding& finding);

// The details of the messages that no meter was found: one line for each port with something to
// tell, or one line saying that no port could be opened at all.
std::string no_meter_details(const PortFindings& findings);

}  // namespace r462xe
