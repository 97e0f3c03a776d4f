#include "identify/serial_value.h"
#include "text/leading_number.h"

namespace r462xe {

// Serial numbers are two characters followed by digits: the number starts at the third.
double serial_value(const std::string& sn) {
    return sn.size() < 3 ? 0 : leading_value(sn.substr(2));
}

}  // namespace r462xe
