// Which device each COM number names. Plain rules, no devices needed.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "serial/port_map.h"

namespace r462xe {
namespace {

// The numbers follow the serial devices the system lists.
struct NumberingCase {
    const char* name;
    std::vector<std::vector<std::string>> scans;  // what the system lists, one scan after another
    std::vector<std::string> expected;            // COM1, COM2, ... afterwards ("" = none)
    std::set<std::string> consoles = {};          // the devices that carry the system's console
};

void PrintTo(const NumberingCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceOrder : public ::testing::TestWithParam<NumberingCase> {};

TEST_P(DeviceOrder, AssignsNumbersAsExpected) {
    PortMap ports(PortNumbering::device_order);
    for (const auto& scan : GetParam().scans) ports.add_devices(scan, GetParam().consoles);
    for (std::size_t i = 0; i < GetParam().expected.size(); ++i) {
        const auto device = ports.device_for(static_cast<int>(i) + 1);
        EXPECT_EQ(device.value_or(""), GetParam().expected[i]) << "COM" << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scans, DeviceOrder,
    ::testing::Values(
        NumberingCase{"usb_then_acm_then_rest",
                      {{"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyS1"}},
                      {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS1", ""}},
        NumberingCase{
            "natural_order_within_group",
            {{"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyUSB1", "/dev/ttyS10", "/dev/ttyS9"}},
            {"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS9", "/dev/ttyS10"}},
        NumberingCase{
            "known_devices_keep_their_numbers",
            {{"/dev/ttyUSB1", "/dev/ttyS0"}, {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"}},
            {"/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyUSB0", ""}},
        NumberingCase{"unplugged_device_keeps_its_number",
                      {{"/dev/ttyUSB0", "/dev/ttyUSB1"}, {"/dev/ttyUSB1"}},
                      {"/dev/ttyUSB0", "/dev/ttyUSB1", ""}},
        NumberingCase{"late_device_takes_lowest_free_number",
                      {{"/dev/ttyUSB0"}, {"/dev/ttyACM3", "/dev/ttyUSB0", "/dev/ttyUSB7"}},
                      {"/dev/ttyUSB0", "/dev/ttyUSB7", "/dev/ttyACM3", ""}},
        NumberingCase{"no_devices", {{}}, {"", ""}},
        NumberingCase{"console_takes_no_number",
                      {{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"}},
                      {"/dev/ttyUSB0", "/dev/ttyS1", ""},
                      {"/dev/tty0", "/dev/ttyS0"}},
        NumberingCase{"console_takes_no_number_in_later_scans",
                      {{"/dev/ttyUSB0"}, {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS1"}},
                      {"/dev/ttyUSB0", "/dev/ttyS1", ""},
                      {"/dev/ttyS0"}},
        NumberingCase{"console_on_usb_adapter",
                      {{"/dev/ttyUSB0", "/dev/ttyUSB1"}},
                      {"/dev/ttyUSB1", ""},
                      {"/dev/ttyUSB0"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConsoleCase {
    const char* name;
    std::string active;  // what /sys/class/tty/console/active holds
    std::set<std::string> expected;
};

void PrintTo(const ConsoleCase& c, std::ostream* out) {
    *out << c.name;
}

class ConsoleDevices : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleDevices, NameTheDevicesOfTheConsole) {
    EXPECT_EQ(console_devices(GetParam().active), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ActiveFile, ConsoleDevices,
    ::testing::Values(ConsoleCase{"two_consoles", "tty0 ttyS0\n", {"/dev/tty0", "/dev/ttyS0"}},
                      ConsoleCase{"serial_console_only", "ttyS0\n", {"/dev/ttyS0"}},
                      ConsoleCase{"board_console", "ttyAMA0\n", {"/dev/ttyAMA0"}},
                      ConsoleCase{"extra_blanks", " ttyS1  tty1 \n", {"/dev/tty1", "/dev/ttyS1"}},
                      ConsoleCase{"empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceOrder, SixteenNumbersAtMost) {
    std::vector<std::string> devices;
    for (int i = 0; i < 20; ++i) devices.push_back("/dev/ttyUSB" + std::to_string(i));
    PortMap ports(PortNumbering::device_order);
    ports.add_devices(devices);
    EXPECT_EQ(ports.device_for(16), "/dev/ttyUSB15");
    EXPECT_FALSE(ports.device_for(17));
}
// Windows numbers its ports itself, whatever devices were listed.
TEST(SystemNumbering, ComNumberIsTheSystemsOwn) {
    PortMap ports(PortNumbering::system_com);
    ports.add_devices({"COM7", "COM2"});
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "COM1"}, {2, "COM2"}, {7, "COM7"}, {10, "COM10"}, {16, "COM16"}};
    for (const auto& [port, device] : cases) EXPECT_EQ(ports.device_for(port), device) << port;
}

TEST(GivenPorts, AreTheOnlyOnes) {
    PortMap ports({{3, "/dev/pts/7"}});
    ports.add_devices({"/dev/ttyUSB0"});
    EXPECT_FALSE(ports.device_for(1));
    EXPECT_EQ(ports.device_for(3), "/dev/pts/7");
}

}  // namespace
}  // namespace r462xe
