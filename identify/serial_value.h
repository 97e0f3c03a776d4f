// The number a serial number carries.
#pragma once

#include <string>

namespace r462xe {

// The number read from a serial number from its third character on: blanks, tabs and line feeds
// are skipped anywhere; a sign, digits, one decimal point and an exponent are taken up to the
// first character that cannot continue the number; no leading number gives 0.
double serial_value(const std::string& sn);

}  // namespace r462xe
