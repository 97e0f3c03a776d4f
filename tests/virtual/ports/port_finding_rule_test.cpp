// What the window says about a port that gave no meter: one sentence or two per kind of finding,
// each naming what to do, and the details of the no-meter messages built from them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ports/port_finding_rule.h"

namespace r462xe {
namespace {

struct FindingCase {
    const char* name;
    PortFinding finding;
    std::string line;  // for COM3
};

void PrintTo(const FindingCase& c, std::ostream* out) {
    *out << c.name;
}

PortFinding finding(PortFindingKind kind, PortTrouble trouble, std::string answer = {}) {
    return {.kind = kind, .trouble = std::move(trouble), .answer = std::move(answer)};
}

PortTrouble on(std::string device, std::string system_text = {}) {
    PortTrouble trouble;
    trouble.device = std::move(device);
    trouble.system_text = std::move(system_text);
    return trouble;
}

PortTrouble no_right(std::string group, bool group_may_open) {
    PortTrouble trouble = on("/dev/ttyUSB0", "Permission denied");
    trouble.fault = PortFault::NoRight;
    trouble.group = std::move(group);
    trouble.group_may_open = group_may_open;
    return trouble;
}

class PortFindingLine : public ::testing::TestWithParam<FindingCase> {};

TEST_P(PortFindingLine, SaysWhyAndWhatToDo) {
    EXPECT_EQ(port_finding_line(3, GetParam().finding), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PortFindingLine,
    ::testing::Values(
        FindingCase{"NoRightGroupMayOpen",
                    finding(PortFindingKind::NoRight, no_right("dialout", true)),
                    "COM3 (/dev/ttyUSB0): your user may not open it (Permission denied). It "
                    "belongs to the group dialout: join that group (sudo usermod -aG dialout "
                    "$USER), then log in again."},
        FindingCase{"NoRightOwnerOnly", finding(PortFindingKind::NoRight, no_right("root", false)),
                    "COM3 (/dev/ttyUSB0): your user may not open it (Permission denied). Only "
                    "its owner may: give the device a udev rule with MODE=\"0660\", "
                    "GROUP=\"dialout\", join that group (sudo usermod -aG dialout $USER), then "
                    "log in again."},
        FindingCase{"NoRightWithoutGroups",
                    finding(PortFindingKind::NoRight, on("COM3", "Access is denied.")),
                    "COM3 (COM3): your user may not open it (Access is denied.)."},
        FindingCase{"Held",
                    finding(PortFindingKind::Held, on("/dev/ttyUSB0", "Device or resource busy")),
                    "COM3 (/dev/ttyUSB0): another program holds it (Device or resource busy). "
                    "Close that program, then press \"Auto Search COM Port\"."},
        FindingCase{"OpenFailed",
                    finding(PortFindingKind::OpenFailed, on("/dev/ttyS0", "Input/output error")),
                    "COM3 (/dev/ttyS0): it could not be opened (Input/output error)."},
        FindingCase{"Opened", finding(PortFindingKind::Opened, on("/dev/ttyS0")),
                    "COM3 (/dev/ttyS0): it opened; it was not asked for a meter, as the search "
                    "stopped at the meter it found first."},
        FindingCase{"Silent", finding(PortFindingKind::Silent, on("/dev/ttyUSB0")),
                    "COM3 (/dev/ttyUSB0): it opened, but nothing answered. Check that the meter "
                    "is switched on and faces the cable."},
        FindingCase{"OtherAnswer",
                    finding(PortFindingKind::OtherAnswer, on("/dev/ttyUSB0"), "*E\r\n"),
                    "COM3 (/dev/ttyUSB0): something answered that is not an R462xE meter: "
                    "\"*E\\r\\n\". Check that the cable is the meter's and faces an R462xE "
                    "meter."},
        FindingCase{"OtherAnswerCutShort",
                    finding(PortFindingKind::OtherAnswer, on("/dev/ttyUSB0"),
                            "0123456789012345678901234567890123456789XYZ"),
                    "COM3 (/dev/ttyUSB0): something answered that is not an R462xE meter: "
                    "\"0123456789012345678901234567890123456789...\". Check that the cable is "
                    "the meter's and faces an R462xE meter."},
        FindingCase{"PortFailed",
                    finding(PortFindingKind::PortFailed, on("/dev/ttyUSB0", "Broken pipe")),
                    "COM3 (/dev/ttyUSB0): the port failed while the meter was asked (Broken "
                    "pipe)."},
        FindingCase{"DeviceWentAway",
                    finding(PortFindingKind::PortFailed,
                            PortTrouble{.fault = PortFault::Gone, .device = "/dev/ttyUSB0"}),
                    "COM3 (/dev/ttyUSB0): the device went away while the meter was asked. Plug "
                    "the cable in again."},
        FindingCase{"Meter", finding(PortFindingKind::Meter, on("/dev/ttyUSB0"), "SN55250001"),
                    "COM3 (/dev/ttyUSB0): an R462xE meter answered (serial number SN55250001)."},
        FindingCase{"UpdateMode", finding(PortFindingKind::UpdateMode, on("/dev/ttyUSB0")),
                    "COM3 (/dev/ttyUSB0): a meter in its update mode answered: choose this "
                    "entry, then press \"Upload Firmware\" to update it."},
        FindingCase{"NoDeviceName", finding(PortFindingKind::Silent, on("")),
                    "COM3: it opened, but nothing answered. Check that the meter is switched on "
                    "and faces the cable."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenFailureFinding, AMissingDeviceNeedsNoWordTheOthersTheirKind) {
    const std::pair<PortFault, PortFindingKind> cases[] = {
        {PortFault::Absent, PortFindingKind::None},
        {PortFault::NoRight, PortFindingKind::NoRight},
        {PortFault::Held, PortFindingKind::Held},
        {PortFault::Other, PortFindingKind::OpenFailed},
        {PortFault::Gone, PortFindingKind::OpenFailed},
    };
    for (const auto& [fault, kind] : cases) {
        const PortFinding found = open_failure_finding({.fault = fault, .device = "/dev/ttyS1"});
        EXPECT_EQ(found.kind, kind) << static_cast<int>(fault);
        EXPECT_EQ(found.trouble.device, "/dev/ttyS1");
    }
}

TEST(NoMeterDetails, OneLineForEachPortWithSomethingToTellInPortOrder) {
    PortFindings findings;
    findings[9] = finding(PortFindingKind::Silent, on("/dev/ttyS0"));
    findings[1] = finding(PortFindingKind::Held, on("/dev/ttyUSB0", "Device or resource busy"));
    findings[16] = finding(PortFindingKind::None, on("/dev/ttyS7"));
    EXPECT_EQ(no_meter_details(findings),
              "COM1 (/dev/ttyUSB0): another program holds it (Device or resource busy). Close "
              "that program, then press \"Auto Search COM Port\".\n"
              "COM9 (/dev/ttyS0): it opened, but nothing answered. Check that the meter is "
              "switched on and faces the cable.\n");
}

TEST(NoMeterDetails, NoPortAtAll) {
    EXPECT_EQ(no_meter_details(PortFindings{}),
              "No serial port could be opened: check that the cable is plugged in.\n");
}

// The port list's tooltips from its entries, the selection, the devices and the findings. Ports 1
// and 2 have devices; port 1 was found silent, port 2 could not be opened (an I/O error), port 5
// has no device.
TEST(PortListTips, EachEntrysPortAndTheListsSelectionThenThePortsThatWouldNotOpen) {
    PortDevices devices;
    devices[1] = "/dev/ttyUSB0";
    devices[2] = "/dev/ttyS4";
    PortFindings findings;
    findings[1] = finding(PortFindingKind::Silent, on("/dev/ttyUSB0"));
    findings[2] = finding(PortFindingKind::OpenFailed, on("/dev/ttyS4", "Input/output error"));
    const std::string silent =
        "COM1: /dev/ttyUSB0 - it opened, but nothing answered. Check that the meter is switched "
        "on and faces the cable.";
    const std::string failed = "COM2: /dev/ttyS4 - it could not be opened (Input/output error).";
    struct Case {
        const char* name;
        std::vector<std::string> entries;
        int selected;
        std::vector<std::string> entry_tips;
        std::string list;
    };
    const std::vector<Case> cases = {
        {"the silent port selected", {"COM1", "COM5"}, 0, {silent, ""}, silent + "\n" + failed},
        {"a port without a device selected", {"COM1", "COM5"}, 1, {silent, ""}, failed},
        {"nothing selected", {"COM1"}, -1, {silent}, failed},
        {"an entry that names no port", {"Other"}, 0, {""}, failed},
        {"no entries", {}, -1, {}, failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PortListTips tips = port_list_tips(c.entries, c.selected, devices, findings);
        EXPECT_EQ(tips.entries, c.entry_tips);
        EXPECT_EQ(tips.list, c.list);
    }
}

// A port with a device that was not looked at: its device alone.
TEST(PortListTips, APortNotLookedAtShowsItsDeviceAlone) {
    PortDevices devices;
    devices[3] = "/dev/ttyACM0";
    const PortListTips tips = port_list_tips({"COM3"}, 0, devices, PortFindings{});
    EXPECT_EQ(tips.entries, std::vector<std::string>{"COM3: /dev/ttyACM0"});
    EXPECT_EQ(tips.list, "COM3: /dev/ttyACM0");
}

}  // namespace
}  // namespace r462xe
