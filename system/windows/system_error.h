// The system's own words for an error code, as FormatMessage gives them.
#pragma once

#include <windows.h>

#include <string>

namespace r462xe {

// One line, without the line break the system ends it with.
std::string system_error_text(DWORD error);

}  // namespace r462xe
