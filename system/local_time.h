// The wall clock, as the user's time zone shows it.
#pragma once

#include "upload/update_history.h"

namespace r462xe {

LocalTime local_time_now();

}  // namespace r462xe
