// The texts of the port list: "COM" and the port number, and for a port where the search found a
// meter, "  :" and that meter's serial number (or "Updating").
#pragma once

#include <cstdint>
#include <string>

namespace r462xe {

std::string port_list_entry(int port, const std::string& port_serial);

// The port number an entry names: the leading number after its first three characters, rounded
// to a 16-bit integer; 0 when there is none (or it does not fit).
std::int16_t port_number_from_list_text(const std::string& text);

}  // namespace r462xe
