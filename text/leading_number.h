// The number at the start of a text, as the window reads numbers out of texts (serial numbers,
// port list entries): blanks, tabs and line feeds are skipped anywhere; a sign, digits, one
// decimal point and an exponent are taken up to the first character that cannot continue the
// number; a text without a leading number gives 0, and so does one too large to hold.
#pragma once

#include <string>

namespace r462xe {

double leading_value(const std::string& text);

}  // namespace r462xe
