// Which identified meters may receive the firmware image.
#pragma once

#include <string>

namespace r462xe {

// The model is one of the supported ones and its serial value lies above that model's threshold.
bool model_and_serial_eligible(const std::string& model, const std::string& sn);

// The meters that qualify, in words: "R4621E above serial number 55200000, ...".
std::string eligible_meters_text();

}  // namespace r462xe
