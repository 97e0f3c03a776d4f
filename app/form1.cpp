#include "app/form1.h"

namespace r462xe {

Form1::Form1(const Platform& platform)
    : events(platform.events),
      MSComm1(platform.port),
      Timer1(platform.timer),
      messages(platform.messages),
      window(platform.window),
      sleep_inhibitor(platform.sleep),
      error_log(platform.error_log),
      history(platform.history) {}

}  // namespace r462xe
