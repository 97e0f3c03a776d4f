// What the last look at each port found, and how the window tells it: why a port gave no meter,
// in the details of the no-meter messages, on standard error and in the port list's tooltips.
#pragma once

#include <array>
#include <string>
#include <vector>

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

// The device behind each port number, as the system names it (empty: none); index 0 unused.
using PortDevices = std::array<std::string, kLastPortNumber + 1>;

// What a failed open found: kind None for a device that is not there, which needs no word.
PortFinding open_failure_finding(const PortTrouble& trouble);

// Why the port gave what it gave, and what to do, as a sentence or two.
std::string port_finding_text(const PortFinding& finding);

// "COM3 (/dev/ttyUSB0): " and the text.
std::string port_finding_line(int port, const PortFinding& finding);

// The details of the messages that no meter was found: one line for each port with something to
// tell, or one line saying that no port could be opened at all.
std::string no_meter_details(const PortFindings& findings);

// "COM3: /dev/ttyUSB0", and after " - " what the last look at the port found, if it was looked
// at; empty for a port without a device.
std::string port_tip(int port, const PortDevices& devices, const PortFindings& findings);

// The port list's tooltips: where each entry's port leads and what was found there.
struct PortListTips {
    std::vector<std::string> entries;  // one per entry, the tip of the port the entry names
    // The list's own: the selected entry's tip, then one line for each port that could not be
    // opened, since such a port has no entry.
    std::string list;
};

// `selected`: the selected entry, -1 for none.
PortListTips port_list_tips(const std::vector<std::string>& entries, int selected,
                            const PortDevices& devices, const PortFindings& findings);

}  // namespace r462xe
