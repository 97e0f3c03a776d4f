// Which device each port number COM1 to COM16 names. Plain C++ so that its rules can be tested
// without a window system; the front end feeds it the devices the system lists.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "serial/port_numbers.h"

namespace r462xe {

namespace port_map_detail {

inline std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// USB adapters are what a meter's cable shows up as, so they get the low numbers.
inline int device_group(const std::string& name) {
    if (name.starts_with("ttyUSB")) return 0;
    if (name.starts_with("ttyACM")) return 1;
    return 2;
}

// Natural order: runs of digits compare by their value, so ttyUSB2 comes before ttyUSB10.
inline bool natural_less(const std::string& a, const std::string& b) {
    auto is_digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            std::size_t end_a = i;
            std::size_t end_b = j;
            while (end_a < a.size() && is_digit(a[end_a])) ++end_a;
            while (end_b < b.size() && is_digit(b[end_b])) ++end_b;
            std::size_t start_a = i;
            std::size_t start_b = j;
            while (start_a + 1 < end_a && a[start_a] == '0') ++start_a;
            while (start_b + 1 < end_b && b[start_b] == '0') ++start_b;
            const std::string value_a = a.substr(start_a, end_a - start_a);
            const std::string value_b = b.substr(start_b, end_b - start_b);
            if (value_a.size() != value_b.size()) return value_a.size() < value_b.size();
            if (value_a != value_b) return value_a < value_b;
            i = end_a;
            j = end_b;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

}  // namespace port_map_detail

// The order in which newly seen devices receive their numbers.
inline bool device_order(const std::string& a, const std::string& b) {
    using namespace port_map_detail;
    const std::string name_a = base_name(a);
    const std::string name_b = base_name(b);
    const int group_a = device_group(name_a);
    const int group_b = device_group(name_b);
    if (group_a != group_b) return group_a < group_b;
    if (name_a != name_b) return natural_less(name_a, name_b);
    return a < b;
}

// The devices that carry the system's console, from the names Linux lists in
// /sys/class/tty/console/active ("tty0 ttyS0", blank separated). A search must not write to them:
// a login prompt would read "*IDN?" as a user name, and the console would change its line speed.
inline std::set<std::string> console_devices(const std::string& active) {
    std::set<std::string> devices;
    std::istringstream names(active);
    for (std::string name; names >> name;) devices.insert("/dev/" + name);
    return devices;
}

// How the port numbers of a system that lists its devices come about.
enum class PortNumbering {
    // Numbers follow the devices the system lists, in device order, as they are seen (Linux).
    device_order,
    // The system numbers its ports itself: COMn is the system's COMn (Windows).
    system_com,
};

class PortMap {
  public:
    explicit PortMap(PortNumbering numbering) : numbering_(numbering) {}
    // Exactly these ports: no other port number names a device.
    explicit PortMap(std::map<int, std::string> fixed) : fixed_(true), devices_(std::move(fixed)) {}

    bool fixed() const { return fixed_; }

    // A device keeps its number for the whole run, even while it is unplugged, so that the port
    // list means the same cable each time; devices not seen before take the lowest free numbers,
    // in device order. The excluded devices (the system's console) take no number.
    void add_devices(std::vector<std::string> devices, const std::set<std::string>& excluded = {}) {
        if (fixed_ || numbering_ == PortNumbering::system_com) return;
        std::sort(devices.begin(), devices.end(), device_order);
        for (const auto& device : devices) {
            if (excluded.contains(device) || number_of(device)) continue;
            for (int port = kFirstPortNumber; port <= kLastPortNumber; ++port) {
                if (!devices_.contains(port)) {
                    devices_[port] = device;
                    break;
                }
            }
        }
    }

    std::optional<std::string> device_for(int port) const {
        if (!fixed_ && numbering_ == PortNumbering::system_com) return "COM" + std::to_string(port);
        const auto found = devices_.find(port);
        if (found == devices_.end()) return std::nullopt;
        return found->second;
    }

  private:
    std::optional<int> number_of(const std::string& device) const {
        for (const auto& [port, known] : devices_)
            if (known == device) return port;
        return std::nullopt;
    }

    bool fixed_ = false;
    PortNumbering numbering_ = PortNumbering::device_order;
    std::map<int, std::string> devices_;
};

}  // namespace r462xe
