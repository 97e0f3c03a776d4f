// The program's environment, as the system's settings reach it.
#pragma once

#include <cstdlib>
#include <string>

namespace r462xe {

// The variable's value; empty when it is missing, since an empty variable names nothing either.
inline std::string environment_variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace r462xe
