#include "ports/port_finding_rule.h"

#include "ports/port_list_text.h"
#include "text/c_quote.h"

namespace r462xe {

namespace {

// A quoted answer stays short enough to read on one line.
constexpr std::size_t kAnswerShown = 40;
constexpr const char* kJoinGroup = "sudo usermod -aG ";

std::string in_parentheses(const std::string& system_text) {
    return system_text.empty() ? std::string() : " (" + system_text + ")";
}

std::string quoted_answer(const std::string& answer) {
    if (answer.size() <= kAnswerShown) return c_quote(answer);
    return c_quote(answer.substr(0, kAnswerShown) + "...");
}

std::string no_right_text(const PortTrouble& trouble) {
    std::string text = "your user may not open it" + in_parentheses(trouble.system_text) + ".";
    if (trouble.group.empty()) return text;
    if (trouble.group_may_open) {
        return text + " It belongs to the group " + trouble.group + ": join that group (" +
               kJoinGroup + trouble.group + " $USER), then log in again.";
    }
    // Joining the device's group would not help: the device needs a rule that opens it to a
    // group first.
    return text +
           " Only its owner may: give the device a udev rule with MODE=\"0660\", "
           "GROUP=\"dialout\", join that group (" +
           std::string(kJoinGroup) + "dialout $USER), then log in again.";
}

}  // namespace

PortFinding open_failure_finding(const PortTrouble& trouble) {
    PortFinding finding{.trouble = trouble};
    switch (trouble.fault) {
        case PortFault::Absent:
            finding.kind = PortFindingKind::None;
            break;
        case PortFault::NoRight:
            finding.kind = PortFindingKind::NoRight;
            break;
        case PortFault::Held:
            finding.kind = PortFindingKind::Held;
            break;
        case PortFault::Gone:
        case PortFault::Other:
            finding.kind = PortFindingKind::OpenFailed;
            break;
    }
    return finding;
}

std::string port_finding_text(const PortFinding& finding) {
    const PortTrouble& trouble = finding.trouble;
    switch (finding.kind) {
        case PortFindingKind::None:
            return "not looked at.";
        case PortFindingKind::NoRight:
            return no_right_text(trouble);
        case PortFindingKind::Held:
            return "another program holds it" + in_parentheses(trouble.system_text) +
                   ". Close that program, then press \"Auto Search COM Port\".";
        case PortFindingKind::OpenFailed:
            return "it could not be opened" + in_parentheses(trouble.system_text) + ".";
        case PortFindingKind::Opened:
            return "it opened; it was not asked for a meter, as the search stopped at the meter "
                   "it found first.";
        case PortFindingKind::Silent:
            return "it opened, but nothing answered. Check that the meter is switched on and "
                   "faces the cable.";
        case PortFindingKind::OtherAnswer:
            return "something answered that is not an R462xE meter: " +
                   quoted_answer(finding.answer) +
                   ". Check that the cable is the meter's and faces an R462xE meter.";
        case PortFindingKind::PortFailed:
            if (trouble.fault == PortFault::Gone)
                return "the device went away while the meter was asked. Plug the cable in again.";
            return "the port failed while the meter was asked" +
                   in_parentheses(trouble.system_text) + ".";
        case PortFindingKind::Meter:
            return "an R462xE meter answered (serial number " + finding.answer + ").";
        case PortFindingKind::UpdateMode:
            return "a meter in its update mode answered: choose this entry, then press \"Upload "
                   "Firmware\" to update it.";
    }
    return {};
}

std::string port_finding_line(int port, const PortFinding& finding) {
    std::string line = "COM" + std::to_string(port);
    if (!finding.trouble.device.empty()) line += " (" + finding.trouble.device + ")";
    return line + ": " + port_finding_text(finding);
}

std::string no_meter_details(const PortFindings& findings) {
    std::string details;
    for (int port = kFirstPortNumber; port <= kLastPortNumber; ++port) {
        const PortFinding& finding = findings[static_cast<std::size_t>(port)];
        if (finding.kind != PortFindingKind::None)
            details += port_finding_line(port, finding) + "\n";
    }
    if (details.empty())
        return "No serial port could be opened: check that the cable is plugged in.\n";
    return details;
}

std::string port_tip(int port, const PortDevices& devices, const PortFindings& findings) {
    if (port < kFirstPortNumber || port > kLastPortNumber) return {};
    const auto index = static_cast<std::size_t>(port);
    if (devices[index].empty()) return {};
    std::string tip = "COM" + std::to_string(port) + ": " + devices[index];
    const PortFinding& finding = findings[index];
    if (finding.kind != PortFindingKind::None) tip += " - " + port_finding_text(finding);
    return tip;
}

PortListTips port_list_tips(const std::vector<std::string>& entries, int selected,
                            const PortDevices& devices, const PortFindings& findings) {
    PortListTips tips;
    for (const auto& entry : entries)
        tips.entries.push_back(port_tip(port_number_from_list_text(entry), devices, findings));
    std::vector<std::string> lines;
    if (selected >= 0 && selected < static_cast<int>(entries.size())) {
        const std::string& tip = tips.entries[static_cast<std::size_t>(selected)];
        if (!tip.empty()) lines.push_back(tip);
    }
    for (int port = kFirstPortNumber; port <= kLastPortNumber; ++port) {
        switch (findings[static_cast<std::size_t>(port)].kind) {
            case PortFindingKind::NoRight:
            case PortFindingKind::Held:
            case PortFindingKind::OpenFailed:
                lines.push_back(port_tip(port, devices, findings));
                break;
            default:
                break;
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) tips.list += "\n";
        tips.list += lines[i];
    }
    return tips;
}

}  // namespace r462xe
